#include "window/MessageBoxes.h"

#include <QMessageBox>

using namespace Qt::Literals::StringLiterals;

int SystemMessageBoxes::show(QWidget* parent, const QString& text, const QString& title, int style)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    // The texts keep their CR LF line ends; a lone CR would show as a glyph here.
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);

    const int buttons = style & 0x0F;
    const int icon = style & 0xF0;
    switch (icon) {
    case 16:
        box.setIcon(QMessageBox::Critical);
        break;
    case 32:
        box.setIcon(QMessageBox::Question);
        break;
    case 48:
        box.setIcon(QMessageBox::Warning);
        break;
    case 64:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    if (buttons == 4) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    switch (answer) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        return Ok;
    }
}
