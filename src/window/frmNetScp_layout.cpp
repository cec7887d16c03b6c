// The controls of the main window, their places, texts and states.
#include "window/frmNetScp.h"

#include "survey/SurveyLists.h"
#include "widgets/Twips.h"
#include "widgets/WindowFont.h"
#include "window/ChangeMarkDelegate.h"
#include "window/ChangeMarkModel.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

using Twips::place;
using Twips::px;

namespace {

QGroupBox* frame(QWidget* parent, const QString& caption, bool boldCaption, int l, int t, int w,
                 int h)
{
    auto* box = new QGroupBox(caption, parent);
    // A bold font on the frame would pass to its children, which all set their own.
    box->setFont(boldCaption ? WindowFont::bold() : WindowFont::regular());
    box->setFlat(false);
    place(box, l, t, w, h);
    return box;
}

QLabel* label(QWidget* parent, const QString& text, int l, int t, int w, int h)
{
    auto* lbl = new QLabel(text, parent);
    lbl->setFont(WindowFont::regular());
    lbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(lbl, l, t, w, h);
    return lbl;
}

QLineEdit* textBox(QWidget* parent, const QString& text, const QString& accessibleName,
                   const QString& tooltip, bool readOnly, int l, int t, int w, int h)
{
    auto* box = new QLineEdit(text, parent);
    box->setFont(WindowFont::regular());
    box->setAccessibleName(accessibleName);
    if (!tooltip.isEmpty()) {
        box->setToolTip(tooltip);
        box->setAccessibleDescription(tooltip);
    }
    box->setTextMargins(0, 0, 0, 0);
    if (readOnly) {
        box->setReadOnly(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        box->setPalette(pal);
    }
    place(box, l, t, w, h);
    return box;
}

QPushButton* button(QWidget* parent, const QString& caption, const QString& tooltip, int l, int t,
                    int w, int h)
{
    auto* btn = new QPushButton(caption, parent);
    btn->setFont(WindowFont::regular());
    btn->setAccessibleName(caption);
    btn->setToolTip(tooltip);
    btn->setAccessibleDescription(tooltip);
    // No button is the window's default: Enter in a box starts nothing.
    btn->setAutoDefault(false);
    btn->setDefault(false);
    place(btn, l, t, w, h);
    return btn;
}

} // namespace

void frmNetScp::buildControls()
{
    auto* client = new QWidget(this);
    client->setFont(WindowFont::regular());
    client->setFixedSize(px(7950), px(7755));
    setCentralWidget(client);

    const QString arrow = u"→"_s;

    // Host-name check panel.
    Frame1 = frame(client, u"HOST名チェック"_s, true, 120, 120, 7695, 975);
    Label4[0] = label(Frame1, u"HOST名"_s, 120, 240, 1935, 255);
    Label4[1] = label(Frame1, u"IPアドレス"_s, 2520, 240, 1935, 255);
    Label4[2] = label(Frame1, u"Ping結果"_s, 4920, 240, 1935, 255);
    Label4[6] = label(Frame1, u"MACアドレス"_s, 5880, 240, 1935, 255);
    txtHost1 = textBox(Frame1, {}, u"HOST名チェック HOST名"_s, u"パソコンの名前"_s, false, 120, 480,
                       1815, 270);
    cmd11 = button(Frame1, arrow, u"HOST名をIPアドレスに変換"_s, 2040, 360, 375, 375);
    txtIp1 = textBox(Frame1, {}, u"HOST名チェック IPアドレス"_s, {}, true, 2520, 480, 1815, 270);
    cmd12 = button(Frame1, arrow, u"HOST名でPing実行"_s, 4440, 360, 375, 375);
    txtPing1 = textBox(Frame1, {}, u"HOST名チェック Ping結果"_s, {}, true, 4920, 480, 855, 270);
    txtMac1 = textBox(Frame1, {}, u"HOST名チェック MACアドレス"_s, {}, true, 5880, 480, 1695, 270);

    // Address check panel.
    Frame2 = frame(client, u"IPアドレスチェック"_s, true, 120, 1200, 7695, 975);
    Label4[4] = label(Frame2, u"IPアドレス"_s, 120, 240, 1935, 255);
    Label4[5] = label(Frame2, u"HOST名"_s, 2520, 240, 1935, 255);
    Label4[3] = label(Frame2, u"Ping結果"_s, 4920, 240, 1935, 255);
    Label4[7] = label(Frame2, u"MACアドレス"_s, 5880, 240, 1935, 255);
    txtIp2 = textBox(Frame2, {}, u"IPアドレスチェック IPアドレス"_s,
                     u"IPアドレス(999.999.999.999)"_s, false, 120, 480, 1815, 270);
    cmd21 = button(Frame2, arrow, u"IPアドレスをHOST名に変換"_s, 2040, 360, 375, 375);
    txtHost2 = textBox(Frame2, {}, u"IPアドレスチェック HOST名"_s, {}, true, 2520, 480, 1815, 270);
    cmd22 = button(Frame2, arrow, u"IPアドレスでPing実行"_s, 4440, 360, 375, 375);
    txtPing2 = textBox(Frame2, {}, u"IPアドレスチェック Ping結果"_s, {}, true, 4920, 480, 855, 270);
    txtMac2 =
        textBox(Frame2, {}, u"IPアドレスチェック MACアドレス"_s, {}, true, 5880, 480, 1695, 270);

    // Address survey.
    Frame3 = frame(client, u"アドレス一覧作成"_s, true, 120, 2280, 7695, 5415);
    Frame5 = frame(Frame3, u"1.新規調査\u3000アドレスを指定して調査"_s, false, 120, 240, 7455, 975);
    Frame4[0] = frame(Frame5, u"調査開始アドレス"_s, false, 120, 240, 2535, 615);
    Frame4[1] = frame(Frame5, u"調査終了アドレス"_s, false, 3120, 240, 2535, 615);

    // The dots go in first so that the boxes they touch are drawn over them. The
    // end frame's dots run in the opposite index order (5, 4, 3 from the left).
    const int dotLeft[3] = {630, 1230, 1830};
    for (int k = 0; k < 3; ++k) {
        Label1[k] = label(Frame4[0], u"."_s, dotLeft[k], 300, 255, 255);
        Label1[5 - k] = label(Frame4[1], u"."_s, dotLeft[k], 300, 255, 255);
    }
    const int boxLeft[4] = {120, 720, 1320, 1920};
    const QString octetNames[4] = {u"第1オクテット"_s, u"第2オクテット"_s, u"第3オクテット"_s,
                                   u"第4オクテット"_s};
    for (int k = 0; k < 4; ++k) {
        txtIP[k] = textBox(Frame4[0], u"999"_s, u"開始アドレス "_s + octetNames[k],
                           k == 3 ? u"1-254"_s : u"0-255"_s, false, boxLeft[k], 240, 495, 270);
        const bool copy = k < 3; // boxes 4 to 6 only repeat boxes 0 to 2
        txtIP[k + 4] = textBox(Frame4[1], u"999"_s, u"終了アドレス "_s + octetNames[k],
                               copy ? QString() : u"1-254"_s, copy, boxLeft[k], 240, 495, 270);
    }
    for (QLineEdit* box : txtIP)
        box->setMaxLength(3);

    Label2 = label(Frame5, u"～"_s, 2745, 480, 375, 375);
    Label2->setFont(WindowFont::tilde());

    cmdStart[0] = button(Frame5, u"新規調査開始"_s, u"アドレス一覧作成"_s, 5880, 360, 1455, 495);
    Frame6 = frame(Frame3, u"2.再調査\u3000リストのHOST,MACに空欄があるIPアドレスのみ再調査"_s,
                   false, 120, 1320, 5655, 855);
    cmdStart[1] =
        button(Frame6, u"未調査分のみ再調査開始"_s,
               u"アドレス一覧作成\u3000リストのHOST,MACに空欄があるIPアドレスのみ再調査"_s, 120,
               300, 2415, 375);
    cmdCancel = button(Frame3, u"調査中止"_s, u"アドレス一覧作成中止"_s, 6000, 1320, 1455, 375);
    cmdCancel->setEnabled(false);
    cmdSave = button(Frame3, u"CSV保存"_s, u"アドレス一覧を保存"_s, 6000, 1800, 1455, 375);

    lstData = new QListView(Frame3);
    lstData->setFont(WindowFont::regular());
    lstData->setAccessibleName(u"アドレス一覧"_s);
    m_marks = new ChangeMarkModel(this);
    m_marks->setSourceModel(m_lists->lstData());
    lstData->setModel(m_marks);
    lstData->setItemDelegate(new ChangeMarkDelegate(lstData));
    lstData->setUniformItemSizes(true);
    lstData->setSelectionMode(QAbstractItemView::SingleSelection);
    lstData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstData->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lstData->setTextElideMode(Qt::ElideNone);
    place(lstData, 120, 2280, 7455, 2940);

    // Four buttons read "→"; a screen reader says what each one does instead.
    for (QPushButton* btn : {cmd11, cmd12, cmd21, cmd22})
        btn->setAccessibleName(btn->toolTip());

    for (QLineEdit* box : {txtHost1, txtIp2})
        box->installEventFilter(this);
    for (QLineEdit* box : txtIP)
        box->installEventFilter(this);

    connect(cmd11, &QPushButton::clicked, this, &frmNetScp::cmd11_Click);
    connect(cmd12, &QPushButton::clicked, this, &frmNetScp::cmd12_Click);
    connect(cmd21, &QPushButton::clicked, this, &frmNetScp::cmd21_Click);
    connect(cmd22, &QPushButton::clicked, this, &frmNetScp::cmd22_Click);
    for (int i = 0; i < 2; ++i)
        connect(cmdStart[i], &QPushButton::clicked, this, [this, i] { cmdStart_Click(i); });
    connect(cmdCancel, &QPushButton::clicked, this, &frmNetScp::cmdCancel_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmNetScp::cmdSave_Click);
}

void frmNetScp::buildMenu()
{
    // Three commands straight on the menu bar, no sub-menus.
    QMenuBar* bar = menuBar();
    bar->setFont(WindowFont::regular());
    mnuInport = bar->addAction(u"インポート"_s);
    mnuHelp = bar->addAction(u"ヘルプ"_s);
    mnuVer = bar->addAction(u"バージョン"_s);
    connect(mnuInport, &QAction::triggered, this, &frmNetScp::mnuInport_Click);
    connect(mnuHelp, &QAction::triggered, this, &frmNetScp::mnuHelp_Click);
    connect(mnuVer, &QAction::triggered, this, &frmNetScp::mnuVer_Click);
}

void frmNetScp::applyTabOrder()
{
    QList<QWidget*> order{txtHost1, cmd11, txtIp1,   cmd12, txtPing1, txtMac1,
                          txtIp2,   cmd21, txtHost2, cmd22, txtPing2, txtMac2};
    for (QLineEdit* box : txtIP)
        order.append(box);
    order << cmdStart[0] << cmdStart[1] << cmdCancel << cmdSave << lstData;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    // Labels and frames never take the focus.
    for (QWidget* w : order)
        if (w->focusPolicy() == Qt::NoFocus)
            w->setFocusPolicy(Qt::StrongFocus);
}
