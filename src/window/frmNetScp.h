#pragma once

#include "probes/NetworkProbes.h"
#include "survey/AddressList.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QThreadPool>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class ChangeMarkModel;
class FileDialogs;
class Launcher;
class LogKeeper;
class MessageBoxes;
class SurveyEngine;
class SurveyLists;
class VendorRegistry;

// What the main window needs from outside; tests put fakes in every slot.
struct WindowServices {
    std::shared_ptr<NetworkProbes> probes;
    MessageBoxes* boxes = nullptr;  // not owned
    FileDialogs* dialogs = nullptr; // not owned
    Launcher* launcher = nullptr;   // not owned: help page, homepage
    QString programDirectory;       // initial folder of the file dialogs, home of the help
    QStringList helpDirectories;    // where else the help page may be, nearest first
    // The log read at start and written at exit, its lock claimed (or not) by the caller.
    std::shared_ptr<LogKeeper> historyLog;
    // Loads the vendor names of the MACs' tooltips, off the GUI thread; none without it.
    std::function<VendorRegistry()> vendors;
};

// The main window: the two check panels, the address survey and the menu.
class frmNetScp : public QMainWindow {
    Q_OBJECT
public:
    explicit frmNetScp(WindowServices services, QWidget* parent = nullptr);
    ~frmNetScp() override;

    // Start-up. Returns false when the text converter or the library check failed:
    // the message has been shown, no file has been touched, and the caller ends the
    // program without showing the window. Otherwise the identity and the log are read
    // off the GUI thread and `loaded` follows.
    bool Form_Load();

    // Whether files can be read and written at all; says why not in a box otherwise.
    // Without the converter the log would read as empty and be deleted at exit.
    static bool textCodecCheck(MessageBoxes* boxes, QWidget* parent);

    // The desktop session is ending: the list is saved as it stands. The closes that
    // follow come as the application quitting and are let through, even during a
    // survey; a session end that is called off changes nothing else.
    void sessionEnding();

    const OwnIdentity& identity() const { return m_identity; }
    SurveyLists& lists() { return *m_lists; }
    bool blnCancel() const;

    // Controls, named and indexed as the rest of the program refers to them.
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    std::array<QGroupBox*, 2> Frame4{};
    std::array<QLabel*, 8> Label4{};
    std::array<QLabel*, 6> Label1{};
    QLabel* Label2 = nullptr;
    QLineEdit* txtHost1 = nullptr;
    QLineEdit* txtIp1 = nullptr;
    QLineEdit* txtPing1 = nullptr;
    QLineEdit* txtMac1 = nullptr;
    QLineEdit* txtIp2 = nullptr;
    QLineEdit* txtHost2 = nullptr;
    QLineEdit* txtPing2 = nullptr;
    QLineEdit* txtMac2 = nullptr;
    QPushButton* cmd11 = nullptr;
    QPushButton* cmd12 = nullptr;
    QPushButton* cmd21 = nullptr;
    QPushButton* cmd22 = nullptr;
    std::array<QLineEdit*, 8> txtIP{};
    std::array<QPushButton*, 2> cmdStart{};
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSave = nullptr;
    QListView* lstData = nullptr;
    QAction* mnuInport = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuVer = nullptr;

signals:
    // Start-up has filled the panels, the range and the list.
    void loaded();
    // A survey run has ended and the window is idle again.
    void surveyFinished();
    // A check-panel operation has written its result.
    void checkFinished();
    // An import has replaced the list or said why not.
    void importFinished();
    // The vendor names are loaded: the list's rows and the MAC boxes show them as
    // tooltips.
    void vendorsLoaded();

public slots:
    void cmdStart_Click(int Index);
    void cmdCancel_Click();
    void cmd11_Click();
    void cmd12_Click();
    void cmd21_Click();
    void cmd22_Click();
    void cmdSave_Click();
    void mnuInport_Click();
    void mnuHelp_Click();
    void mnuVer_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void applyTabOrder();
    void setBusy(bool busy);
    void applyStartup(const OwnIdentity& me);
    void finishRun();
    void runLookup(QLineEdit* input, QLineEdit* output, bool forward, int panel);
    void runPing(QLineEdit* input, QLineEdit* address, QLineEdit* pingBox, QLineEdit* macBox,
                 int panel);
    // The input check of a panel's button; true when the check may run.
    bool beginCheck(QLineEdit* input, int panel);
    void showProbeError(const QString& procedureName);
    void showTableUnread();
    void loadVendors();
    void showVendorOf(QLineEdit* macBox);
    void showPendingLogMessage();
    void saveLog(bool reportFailure);
    bool Form_QueryUnload();
    void Form_Unload();

    WindowServices m_services;
    OwnIdentity m_identity;
    std::unique_ptr<SurveyLists> m_lists;
    SurveyEngine* m_engine = nullptr;
    // lstData as the view shows it, with the marks of what the last run changed.
    ChangeMarkModel* m_marks = nullptr;
    // The entries as they were when the run in progress began, to compare at its end.
    QList<AddressEntry> m_runBefore;
    std::array<bool, 2> m_panelBusy{};
    std::array<StopToken, 2> m_panelStops;
    std::shared_ptr<const VendorRegistry> m_vendors; // none until loaded
    // The check panels' lookups and pings and the start-up job block their threads
    // on the network. They get a pool of their own: Qt's shared pool also serves the
    // painting of the window, which must never wait behind a slow resolver.
    QThreadPool m_checkPool;
    bool m_firstShow = true;
    bool m_sessionEnding = false;
    bool m_unloaded = false;
    // The application is ending (the session ends, the system shuts down): closes
    // are let through even during a survey, whose list was saved when the session
    // said it was ending.
    bool m_applicationQuitting = false;
    QString m_pendingLogMessage; // shown once the window is up
};
