#include "auxwin/frmVersion.h"

#include "auxwin/Launcher.h"
#include "widgets/Twips.h"
#include "widgets/WindowFont.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

using Twips::place;
using Twips::px;

namespace {

constexpr int kLineTwips = 180;

const QColor kLinkBlue(0, 0, 255);
const QColor kLinkCyan(0, 255, 255);

// Draws its lines 180 twips apart, whatever the face's own line spacing: the link
// sits on line 6, and the last line must stay clear of the button.
class TitleLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        const int baseline = QFontMetrics(font()).ascent();
        int top = 0;
        for (const QString& line : text().split(u'\n')) {
            painter.drawText(0, top + baseline, line);
            top += px(kLineTwips);
        }
    }
};

} // namespace

frmVersion::frmVersion(Launcher& launcher, const AboutTexts& texts, QWidget* owner)
    : QDialog(owner)
    , m_launcher(launcher)
    , m_texts(texts)
{
    // A fixed dialog without minimise, maximise or close button; being owned keeps
    // it out of the task bar and centred over the main window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFont(WindowFont::regular());
    setFixedSize(px(4380), px(2130));
    if (owner)
        setWindowIcon(owner->windowIcon());

    lblTitle = new TitleLabel(this);
    lblTitle->setFont(WindowFont::regular());
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTitle->setTextFormat(Qt::PlainText);
    place(lblTitle, 0, 0, 4695, 2055);
    lblTitle->setMouseTracking(true);
    lblTitle->installEventFilter(this);

    lblHttp = new QLabel(m_texts.homepage, this);
    QFont linkFont = WindowFont::regular();
    linkFont.setUnderline(true);
    lblHttp->setFont(linkFont);
    lblHttp->setTextFormat(Qt::PlainText);
    lblHttp->setCursor(Qt::PointingHandCursor);
    lblHttp->setAccessibleName(u"ホームページ"_s);
    lblHttp->setAccessibleDescription(m_texts.homepage);
    lblHttp->setMouseTracking(true);
    lblHttp->installEventFilter(this);
    setLinkColour(kLinkBlue);

    cmdEnd = new QPushButton(u"OK"_s, this);
    place(cmdEnd, 1440, 1560, 1455, 335);
    cmdEnd->setDefault(true);
    cmdEnd->setFocus();
    connect(cmdEnd, &QPushButton::clicked, this, &frmVersion::cmdEnd_Click);

    Form_Load();
}

void frmVersion::Form_Load()
{
    QString title = versionTitle(NETROSCOPE_VERSION_MAJOR, NETROSCOPE_VERSION_MINOR, m_texts);
    title.replace(u"\r\n"_s, u"\n"_s); // a label would draw the CR
    lblTitle->setText(title);
    setWindowTitle(u"Netroscope"_s + u" バージョン情報"_s);

    // The link starts right after the label of line 6, as wide as this font draws it.
    const QFontMetrics metrics(lblTitle->font());
    lblHttp->setGeometry(metrics.horizontalAdvance(homepageLabel()), 5 * px(kLineTwips),
                         std::max(px(3240), metrics.horizontalAdvance(m_texts.homepage)),
                         std::max(px(kLineTwips), metrics.height()));
}

void frmVersion::setLinkColour(const QColor& colour)
{
    QPalette palette = lblHttp->palette();
    palette.setColor(QPalette::WindowText, colour);
    lblHttp->setPalette(palette);
}

bool frmVersion::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        if (watched == lblHttp)
            setLinkColour(kLinkCyan);
        else if (watched == lblTitle)
            setLinkColour(kLinkBlue);
    } else if (watched == lblHttp && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            lblHttp->rect().contains(mouse->position().toPoint()))
            lblHttp_Click();
    }
    return QDialog::eventFilter(watched, event);
}

void frmVersion::lblHttp_Click()
{
    setLinkColour(kLinkBlue);
    // The browser runs on its own; whether it came up is not reported.
    m_launcher.openUrl(QUrl(m_texts.homepage));
}

void frmVersion::cmdEnd_Click()
{
    accept();
}
