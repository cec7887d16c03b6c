#pragma once

#include <QString>

// What the about window says besides the version. Set when the program is built.
struct AboutTexts {
    QString author;   // line 4: a label and the authors
    QString contact;  // line 5: a label and an e-mail address
    QString notice;   // line 8: the rights notice with the authors and years
    QString homepage; // shown as the link on line 6 and opened by a click on it
};

// The texts this build was configured with.
AboutTexts configuredAboutTexts();

// The eight lines of the about window's title, each ended by CR LF. The minor
// version has at least two digits: version 3.1 reads "3.01".
QString versionTitle(int major, int minor, const AboutTexts& texts);

// The start of line 6, after which the homepage link sits.
QString homepageLabel();
