// The two check panels: host name to address, address to host name, ping and MAC.
#include "window/frmNetScp.h"

#include "store/VendorRegistry.h"
#include "window/AsyncTask.h"
#include "window/ChangeMarkModel.h"
#include "window/MessageBoxes.h"

#include <QLineEdit>
#include <QPointer>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kRunning = u"実行中"_s;

} // namespace

bool frmNetScp::beginCheck(QLineEdit* input, int panel)
{
    // One operation per panel at a time: a second click while it runs is ignored.
    if (m_panelBusy[panel])
        return false;
    if (input->text().isEmpty()) {
        const QString message =
            panel == 0 ? u"HOST名を入れてくれよ～"_s : u"IPアドレスを入れてくれよ～"_s;
        m_services.boxes->show(this, message, u"入力ミス"_s, MessageBoxes::OkInformation);
        return false;
    }
    m_panelBusy[panel] = true;
    return true;
}

void frmNetScp::cmd11_Click()
{
    runLookup(txtHost1, txtIp1, true, 0);
}

void frmNetScp::cmd21_Click()
{
    runLookup(txtIp2, txtHost2, false, 1);
}

void frmNetScp::cmd12_Click()
{
    runPing(txtHost1, txtIp1, txtPing1, txtMac1, 0);
}

void frmNetScp::cmd22_Click()
{
    runPing(txtIp2, txtIp2, txtPing2, txtMac2, 1);
}

void frmNetScp::runLookup(QLineEdit* input, QLineEdit* output, bool forward, int panel)
{
    if (!beginCheck(input, panel))
        return;
    output->setText(kRunning);

    auto probes = m_services.probes;
    const QString text = input->text();
    QPointer<QLineEdit> target = output;
    runThenCallback<QString>(
        &m_checkPool, this,
        [probes, text, forward] {
            return forward ? probes->hostToIp(text) : probes->ipToHost(text);
        },
        [this, target, panel](const QString& result) {
            m_panelBusy[panel] = false;
            if (target)
                target->setText(result.isEmpty() ? u"取得失敗"_s : result);
            emit checkFinished();
        });
}

void frmNetScp::runPing(QLineEdit* input, QLineEdit* address, QLineEdit* pingBox, QLineEdit* macBox,
                        int panel)
{
    if (!beginCheck(input, panel))
        return;
    macBox->clear();
    pingBox->setText(kRunning);

    auto probes = m_services.probes;
    const QString ip = address->text();
    const OwnIdentity me = m_identity;
    m_panelStops[panel] = StopToken();
    const StopToken stop = m_panelStops[panel];
    startThenCallback<PingFindings>(
        this,
        [probes, ip, me, stop](const NetworkProbes::PingReport& report) {
            probes->startPing(ip, me, stop, report);
        },
        [this, pingBox, macBox, panel](const PingFindings& r) {
            m_panelBusy[panel] = false;
            if (r.ping.error)
                showProbeError(u"subPing"_s);
            if (r.mac.error)
                showProbeError(u"subMacGet"_s);
            if (r.ping.neighboursUnread)
                showTableUnread();
            // A host that dropped the echo request failed the ping, but ARP showed it there.
            macBox->setText(r.mac.mac);
            pingBox->setText(r.ping.answered ? u"成功"_s : u"失敗"_s);
            emit checkFinished();
        });
}

void frmNetScp::loadVendors()
{
    if (!m_services.vendors)
        return;
    // Some 46,000 registry lines: read while the window comes up, used once there.
    runThenCallback<std::shared_ptr<const VendorRegistry>>(
        &m_checkPool, this,
        [load = m_services.vendors] { return std::make_shared<const VendorRegistry>(load()); },
        [this](const std::shared_ptr<const VendorRegistry>& vendors) {
            m_vendors = vendors;
            m_marks->setVendors(vendors);
            showVendorOf(txtMac1);
            showVendorOf(txtMac2);
            emit vendorsLoaded();
        });
}

void frmNetScp::showVendorOf(QLineEdit* macBox)
{
    const QString vendor = m_vendors ? m_vendors->describe(macBox->text()) : QString();
    macBox->setToolTip(vendor);
    macBox->setAccessibleDescription(vendor);
}

void frmNetScp::showProbeError(const QString& procedureName)
{
    m_services.boxes->show(this, u"何かエラーになりました。"_s, u"エラー "_s + procedureName,
                           MessageBoxes::OkExclamation);
}

void frmNetScp::showTableUnread()
{
    m_services.boxes->show(
        this,
        u"ARP テーブルを読み取れませんでした。"
        "Ping に応答しないホストは MAC アドレスがわからず、一覧に載らないことがあります。"_s,
        u"エラー ARP テーブル"_s, MessageBoxes::OkExclamation);
}
