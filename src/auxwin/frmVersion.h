#pragma once

#include "auxwin/AboutText.h"

#include <QDialog>

class Launcher;
class QLabel;
class QPushButton;

// The about window: name, version, authors and the homepage link. Modal over the
// main window; only its OK button closes it.
class frmVersion : public QDialog {
    Q_OBJECT
public:
    frmVersion(Launcher& launcher, const AboutTexts& texts, QWidget* owner);

    QLabel* lblTitle = nullptr;
    QLabel* lblHttp = nullptr;
    QPushButton* cmdEnd = nullptr;

public slots:
    void lblHttp_Click();
    void cmdEnd_Click();

public:
    // Neither the window manager's close request nor Esc closes the window: the
    // close entry is gone, and OK is the one way out.
    void reject() override {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void setLinkColour(const QColor& colour);

    Launcher& m_launcher;
    AboutTexts m_texts;
};
