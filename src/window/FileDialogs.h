#pragma once

#include <QString>

class QWidget;

// The open and save dialogs, behind an interface so that tests can answer them.
// An empty result means the user cancelled (or the dialog failed).
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& directory,
                                 const QString& filter, const QString& defaultSuffix) = 0;
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& directory,
                                 const QString& filter) = 0;
};

// The platform's own file dialogs. They ask before overwriting on saving and leave
// the process's current directory as it was, whatever the user browsed to.
class SystemFileDialogs : public FileDialogs {
public:
    QString saveFileName(QWidget* parent, const QString& title, const QString& directory,
                         const QString& filter, const QString& defaultSuffix) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& directory,
                         const QString& filter) override;
};
