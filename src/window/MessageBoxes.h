#pragma once

#include <QString>

class QWidget;

// Every message box of the program goes through this interface: text, title and
// a style (buttons + icon) in, the answer out. The window owns one; tests put a
// scripted one in its place and assert on exactly what was asked.
class MessageBoxes {
public:
    // A button set plus an icon; the numbers are the styles' traditional values.
    enum Style : int {
        OkCritical = 16,    // OK, stop icon
        YesNoQuestion = 36, // Yes and No, question icon, Yes the default
        OkExclamation = 48, // OK, exclamation icon
        OkInformation = 64, // OK, information icon
    };
    // Answers.
    enum Answer : int { Ok = 1, Yes = 6, No = 7 };

    virtual ~MessageBoxes() = default;
    virtual Answer show(QWidget* parent, const QString& text, const QString& title,
                        Style style) = 0;
};

// The real, modal message boxes.
class SystemMessageBoxes : public MessageBoxes {
public:
    Answer show(QWidget* parent, const QString& text, const QString& title, Style style) override;
};
