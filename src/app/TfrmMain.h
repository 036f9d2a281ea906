// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Dialogs.h"
#include "PrintRun.h"
#include "EntryScreen.h"
#include "history/HistoryRecord.h"
#include "history/JobLookup.h"
#include "history/WaitingJobs.h"
#include "job/JobEditor.h"
#include "job/LabelJob.h"
#include "job/ProofLabel.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"
#include "lists/SampleList.h"

#include <QByteArray>
#include <QDate>
#include <QFont>
#include <QFutureWatcher>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QProgressDialog;
class QRadioButton;
class QStatusBar;
class QTimer;
class QToolButton;
class QPushButton;

namespace Ui {
class TfrmMain;
}

namespace corvial {

class PageCanvas;
class PrintScreen;
class TAboutBox;
class TfrmLib;
class ClickSurface;
class ChoiceList;
class ShapeCell;
class LineBox;
class MemoBox;
class XlsApi;
class CodeView;

// What the window shows: the entry screen, or the print screen of the job's sheet type.
enum class Screen { Entry = 0, Print = 1 };
// The row of tool buttons: Version and End on the entry screen; Version, Excel, Back and End
// on the print screen.
enum class ToolRow { Entry = 0, Print = 1 };

// objectName of the radio button of sheet type 1..10 on the entry screen; "" for any other.
const char *sheetTypeRadioName(int sheetType);

// What the main window talks to outside itself. Every member has a working default; tests
// replace them with fakes.
struct MainWindowEnvironment
{
    QString appDir;                   // folder of start.txt; empty = the executable's
    std::shared_ptr<Dialogs> dialogs; // null = the platform's dialogs
    std::function<std::unique_ptr<PageCanvas>(QPrinter *)> canvasFactory; // null = the printer
    std::shared_ptr<XlsApi> workbook; // null = the workbook library
    std::function<QDate()> today;     // null = the local date
    // Asks the print server how a job stands; called on a worker thread at start.
    std::function<JobPhaseLookup> jobLookup; // null = CUPS
    // Reads a list file's cells; called on a worker thread, so it must touch no widget.
    std::function<ListTableRead(const QString &)> readList; // null = readListTable
};

// The main window: all state of the program, the entry screen and the print screen.
class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmMain(MainWindowEnvironment environment = {}, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // True when start.txt was missing: the window closes itself at the timer's next tick.
    bool closesAtFirstTick() const { return closeAtFirstTick; }
    // The job as the user has set it up so far: what PrintSet, Print and Excel work from.
    const JobEditor &editor() const { return mJob; }
    // The folder start.txt is read from and written to, ending in a separator.
    const QString &settingsFolder() const { return appDir; }
    // Where the pointer last moved over a sheet preview, in the preview's pixels.
    QPoint previewPointer() const;
    // Bytes Memo8 holds for the sheet type last chosen that types a few lines.
    int memo8MaxLength() const;
    // Warnings about start.txt found while creating the window, shown once it is open, and
    // those about corvial.ini beside it, shown once in the status line.
    void showStartupWarnings();
    // Looks, away from the window's thread, at the jobs of this start.txt's history that were
    // left waiting, and tells once which ended unprinted; a failure goes to the status line.
    // Does nothing when there is no history yet. Call once the window is shown.
    void startWaitingJobsRecheck();
    // True while a print or a list read runs away from the interface thread; the window's
    // controls and menus take no input meanwhile.
    bool isBusy() const;

    // Controls, named as the program has always named them; most come from TfrmMain.ui, where
    // each numbered one's role is its accessibleName, read out by screen readers too. Every
    // list keeps a selected row (keepSelection in the form): handlers, printing and export
    // read the choice, and a list the user had emptied would go on using a value it no
    // longer shows. The window owns them.
    QWidget *central = nullptr;
    QToolButton *cmdVersion = nullptr, *cmdExcel = nullptr, *cmdBack = nullptr, *cmdEnd = nullptr;
    QLabel *Label4 = nullptr, *Label2 = nullptr;
    QFrame *pnlMain = nullptr, *pnlPrint = nullptr;
    QFrame *pnlCircle = nullptr, *pnlRect = nullptr, *PnlTube = nullptr, *pnlMicro = nullptr;
    ClickSurface *image7 = nullptr, *Image2 = nullptr, *Image4 = nullptr, *Image6 = nullptr;
    QTimer *Timer1 = nullptr;
    QMenu *N1 = nullptr;
    QAction *N2 = nullptr, *N3 = nullptr, *N4 = nullptr, *Font1 = nullptr;
    QAction *N5 = nullptr;         // "印刷プレビュー", print screen only
    QAction *N6 = nullptr;         // "位置合わせシート印刷", print screen only
    QAction *mnuHistory = nullptr; // the print history, on both screens

    QAction *mnuPrinterScale = nullptr; // "プリンタの倍率…", on both screens
    QMenu *PopupMenu1 = nullptr;
    QAction *mnuListLoad = nullptr;   // "サンプルリスト読み込み…", entry screen only
    QAction *mnuListUnload = nullptr; // "サンプルリスト解除", entry screen only

    // Entry screen.
    QLabel *Label3 = nullptr, *Label14 = nullptr, *Label1 = nullptr, *Label5 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPlainTextEdit *Memo5 = nullptr, *Memo8 = nullptr;
    QGroupBox *RadioGroup1 = nullptr;
    QRadioButton *RadioGroup1Items[4] = {};
    ChoiceList *ListBox12 = nullptr, *ListBox2 = nullptr, *ListBox1 = nullptr;
    QPushButton *cmdPrintSet = nullptr;
    QLabel *lblList = nullptr; // "リスト: FILE (N 件)" under the text while a list is loaded
    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *RadioButton10 = nullptr, *RadioButton2 = nullptr, *RadioButton5 = nullptr,
                 *RadioButton6 = nullptr, *RadioButton9 = nullptr, *RadioButton11 = nullptr,
                 *RadioButton12 = nullptr, *RadioButton3 = nullptr, *RadioButton1 = nullptr,
                 *RadioButton13 = nullptr;

    // Print screen.
    ChoiceList *ListBox20 = nullptr, *ListBox23 = nullptr, *ListBox25 = nullptr;
    ChoiceList *ListBox21 = nullptr, *ListBox19 = nullptr;
    QLabel *Label8 = nullptr, *Label26 = nullptr, *Label38 = nullptr, *Label29 = nullptr,
           *Label25 = nullptr;
    QGroupBox *GroupBox14 = nullptr, *GroupBox2 = nullptr;
    QFrame *pnl150 = nullptr, *pnlNum = nullptr, *pnlmemo = nullptr;
    ShapeCell *Shape1 = nullptr, *Shape2 = nullptr;
    QLabel *Label6 = nullptr, *Label7 = nullptr, *Panel5 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QPlainTextEdit *Memo3 = nullptr, *Memo7 = nullptr;
    QToolButton *cmdPrint = nullptr;
    QRadioButton *RadioButton4 = nullptr, *RadioButton7 = nullptr, *RadioButton8 = nullptr;
    // 2-D codes: the choice and the prefix (kept for the whole run, never in start.txt), and
    // the code on the number proof.
    QCheckBox *chkCode = nullptr;
    QLabel *lblCodePrefix = nullptr;
    QLineEdit *edtCodePrefix = nullptr;
    CodeView *imgCode = nullptr;

    // The version window and the library notice, made at the first call.
    TAboutBox *AboutBox();
    TfrmLib *frmLib();

    // Preview cells: element i (1-based) is label position i of the sheet.
    QVector<ShapeCell *> circleShapes, rectShapes, tube95Shapes, tube72Shapes;

signals:
    // The window has closed; the program ends with it.
    void closed();
    // The look startWaitingJobsRecheck began has ended and its findings were told.
    void waitingJobsRechecked();
    // A look at the history for the last job of the chosen type has ended and is shown.
    void lastJobLooked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Window construction: the form, then what the form cannot hold.
    void buildControls();
    void bindControls();
    void bindPrintControls();
    void setPixelFont(QWidget *w, int px, bool italic = false);
    void buildEntryScreen();
    void buildPrintScreen();
    void buildPreviews();
    void connectHandlers();

    // Application shell.
    void FormCreate();
    void placePanels();
    void ShowScreen(Screen screen);
    void ShowProofPanel(ProofKind kind);
    void ArrangeToolButtons(ToolRow row);
    void cmdBackClick();
    void cmdEndClick();
    void cmdVersionClick();
    void N4Click();
    void Timer1Timer();
    void companionDismissed();

    // Settings file.
    void LoadSettings();
    void SaveSettings();

    // Sheet types.
    void chooseSheetType(SheetType type);
    void ShowEntryLayout(int layout);
    void ShowRepeatChoice(bool shown);

    // Label content entry.
    void ListBox2Click();
    void ListBox1Click();
    void ListBox12Click();
    void Edit2Change();
    void Memo8Change();
    void Memo5Change();
    void N2Click();
    void N3Click();
    void setNumberStyle(NumberStyle style);
    void watchCharacters(MemoBox *box, const QString &what);
    void watchCharacters(LineBox *box, const QString &what);
    EntryHost entryHost();
    std::optional<ListExtent> listExtent() const;
    // Looks away from the window for the last job of the chosen type and shows it.
    void refreshLastJob();

    // Print setup and proof label.
    void cmdPrintSetClick();
    void Font1Click();

    // 2-D codes.
    void buildCodeControls();

    // Sheet preview: the print screen's, named as the window has always named them.
    void SetUpPreview(int family);
    void PaintPreviewSheet(int family, int sheet);

    // Printing.
    void cmdPrintClick();
    // Starts printing job through the font check, the history, the printer dialog and the
    // job's follow-up on a worker, telling owner of every refusal and failure; reprinted: the
    // record a reprint prints again, or null. then(printed) follows on this thread once the
    // print has ended and the advance is saved; never for a print the person gave up.
    void printOnPrinter(const LabelJob &job, QWidget *owner, const HistoryEntry *reprinted,
                        std::function<void(bool printed)> then);
    // The questions and the print dialog of a print, put to owner (this window once owner is
    // gone).
    PrintRun::Asks printAsks(QWidget *owner);
    // Runs work as PrintRun does, the window busy meanwhile; then(outcome) follows its end
    // unless the person gave the print up.
    void startPrintRun(QWidget *owner, PrintRun::Work work, const PrintPolicy &policy,
                       std::function<void(const PrintOutcome &)> then);
    void printRunCancelled(PrintRun *run, QWidget *owner, bool givenUp);
    // Saves the advance of a job that printed in family and tells owner what the outcome
    // says; true when it printed.
    bool printRunEnded(const PrintOutcome &printed, QWidget *owner, int family);
    void setBusy(bool busy);
    QStatusBar *statusLine();
    QPrinter *keptPrinter();
    void N5Click();
    void N6Click();
    void mnuHistoryClick();
    void reprintFromHistory(QWidget *owner, const HistoryEntry &entry, int firstIndex,
                            int lastIndex);
    void reprintEnded(const LabelJob &job, const HistoryEntry &entry, const QString &what,
                      QWidget *owner, bool printed);
    std::pair<QFrame *, ClickSurface *> previewOf(int family) const;
    void waitingJobsRecheckEnded();
    // The printer's scale.
    void mnuPrinterScaleClick();
    // The scale saved for this window's start.txt into *out; false after telling the user
    // over owner (null: this window) why it cannot be read, failure leading the message.
    bool savedPrinterScale(PrinterScale *out, QWidget *owner, const QString &failure);

    // Workbook export.
    void cmdExcelClick();

    // Sample lists.
    void buildListControls();
    void mnuListLoadClick();
    void mnuListUnloadClick();
    // A list file as the worker read it: its table, and the SHA-256 of the bytes read then,
    // which the history records (the file may change on disk before the job prints).
    struct ListFileRead
    {
        ListTableRead table;
        QString sha256;
    };
    void readListAway(const QString &path);
    void listFileRead(const QString &path, const ListFileRead &read);
    void endListRead();
    bool keepsListFor(SheetType newType);
    void showListOnEntryScreen();
    void setListReadOnly(bool readOnly);
    void updateListActions();
    QStringList listSampleTexts() const;

    int family() const { return mJob.family(); }

    MainWindowEnvironment mEnv;
    std::unique_ptr<Ui::TfrmMain> mUi; // the controls of TfrmMain.ui
    std::unique_ptr<TAboutBox> mAboutBox;
    std::unique_ptr<TfrmLib> mFrmLib;
    std::unique_ptr<QPrinter> mPrinter; // one printer for the whole run keeps the user's choice
    std::optional<PrinterSetup> mPrinterSetup; // the choice last confirmed, for the next dialog
    QString mStartupWarning;
    QString mCompanionWarnings;          // the corvial.ini warnings as the status line shows them
    bool mCompanionWarningsTold = false; // they were looked for (once per window)
    QString mLabelFontProblem;           // why the label font cannot print, or empty
    bool mSettingsUnread = false;        // start.txt exists but could not be read whole at start

    // Main-window state: the job being edited, and what belongs to the window alone.
    JobEditor mJob;
    PrintScreen *mPrintScreen = nullptr; // the print screen's behaviour, a child of the window
    // The entry screen over mJob and the form, made after both and gone before either.
    std::unique_ptr<EntryScreen> mEntry;
    int mLastJobLook = 0;             // the look whose answer is shown; older ones are dropped
    bool mLastJobFailureTold = false; // a failed look is told once
    QFont mFontDialogFont;            // FontDialog1's own font, kept from one use to the next
    QString appDir;
    bool closeAtFirstTick = false;
    int32_t bookHandle = 0;

    // The loaded sample list, and the entry as it was typed before, for when it goes.
    struct TypedEntry
    {
        QString edit2, memo8, memo5;
        int sampleRow = 0;
    };
    std::optional<SampleList> mList;
    QString mListPath;
    QString mListSha256; // of the loaded list's bytes as they were read
    bool mListHeading = false;
    QProgressDialog *mListProgress = nullptr;          // while a list file is being read
    QFutureWatcher<ListFileRead> *mListRead = nullptr; // the read whose result is wanted
    PrintRun *mPrintRun = nullptr;                     // the print the window waits for
    TypedEntry mTypedEntry;
    QFutureWatcher<WaitingRecheck> *mWaitingRecheck = nullptr; // the start's look, once begun
};

} // namespace corvial
