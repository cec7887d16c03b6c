#include "window/FileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace {

QString runDialog(QFileDialog& dialog)
{
    const QString before = QDir::currentPath();
    QString chosen;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        chosen = dialog.selectedFiles().constFirst();
    QDir::setCurrent(before);
    return chosen;
}

} // namespace

QString SystemFileDialogs::saveFileName(QWidget* parent, const QString& title,
                                        const QString& directory, const QString& filter,
                                        const QString& defaultSuffix)
{
    QFileDialog dialog(parent, title, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QString suffix = defaultSuffix;
    if (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    return runDialog(dialog);
}

QString SystemFileDialogs::openFileName(QWidget* parent, const QString& title,
                                        const QString& directory, const QString& filter)
{
    QFileDialog dialog(parent, title, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name of a missing file comes back like any other; the import then
    // says it cannot read it.
    dialog.setFileMode(QFileDialog::AnyFile);
    return runDialog(dialog);
}
