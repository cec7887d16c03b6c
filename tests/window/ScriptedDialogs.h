#pragma once

#include "auxwin/Launcher.h"
#include "window/FileDialogs.h"
#include "window/MessageBoxes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

// Message boxes that answer from a script and remember what they were asked.
class ScriptedMessageBoxes : public MessageBoxes {
public:
    struct Asked {
        QString text;
        QString title;
        Style style = OkInformation;
        bool overShownWindow = false; // its parent window was on screen
    };

    Answer show(QWidget* parent, const QString& text, const QString& title, Style style) override
    {
        asked.append({text, title, style, parent && parent->isVisible()});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return style == YesNoQuestion ? Yes : Ok;
    }

    QList<Asked> asked;
    QList<Answer> answers; // next answers; a Yes/No box with none scripted answers Yes
};

// File dialogs that return scripted paths (empty: cancelled).
class ScriptedFileDialogs : public FileDialogs {
public:
    struct Asked {
        QString title;
        QString directory;
        QString filter;
        QString defaultSuffix;
    };

    QString saveFileName(QWidget*, const QString& title, const QString& directory,
                         const QString& filter, const QString& defaultSuffix) override
    {
        asked.append({title, directory, filter, defaultSuffix});
        return paths.isEmpty() ? QString() : paths.takeFirst();
    }
    QString openFileName(QWidget*, const QString& title, const QString& directory,
                         const QString& filter) override
    {
        asked.append({title, directory, filter, {}});
        return paths.isEmpty() ? QString() : paths.takeFirst();
    }

    QList<Asked> asked;
    QStringList paths;
};

// A launcher that starts nothing and remembers what it was handed.
class RecordingLauncher : public Launcher {
public:
    bool openUrl(const QUrl& url) override
    {
        started.append(url.toString());
        return succeed;
    }
    bool openDocument(const QString& file, const QString& workingDirectory) override
    {
        started.append(file + u'|' + workingDirectory);
        return succeed;
    }
    bool startProgram(const QString& program, const QString& arguments) override
    {
        started.append(program + u' ' + arguments);
        return succeed;
    }

    QStringList started; // "url", "file|working directory" or "program arguments"
    bool succeed = true;
};
