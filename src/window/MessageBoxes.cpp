#include "window/MessageBoxes.h"

#include <QMessageBox>

using namespace Qt::Literals::StringLiterals;

MessageBoxes::Answer SystemMessageBoxes::show(QWidget* parent, const QString& text,
                                              const QString& title, Style style)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    // The texts keep their CR LF line ends; a lone CR would show as a glyph here.
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);

    switch (style) {
    case OkCritical:
        box.setIcon(QMessageBox::Critical);
        break;
    case YesNoQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case OkExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case OkInformation:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (style == YesNoQuestion) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        return Ok;
    }
}
