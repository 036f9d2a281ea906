// SPDX-License-Identifier: GPL-3.0-or-later
// Construction of the main window, window creation, and the screen routines.
#include "TfrmMain.h"

#include "AppIcons.h"
#include "Controls.h"
#include "Dialogs.h"
#include "PrintScreen.h"
#include "SheetPicture.h"
#include "TAboutBox.h"
#include "TextBoxControls.h"
#include "TfrmLib.h"
#include "WindowFonts.h"
#include "export/XlsCrtLibrary.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/JobRules.h"
#include "job/ProofLabel.h"
#include "preview/PreviewRules.h"
#include "print/PageCanvas.h"
#include "print/PrinterCanvas.h"
#include "sequence/CupsJobLookup.h"
#include "settings/CompanionSettings.h"
#include "settings/SettingsFile.h"
#include "ui_TfrmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace corvial {

namespace {

const QColor kBlue(0, 0, 255);

QFont pixelFont(const QFont &base, int px, bool italic = false)
{
    QFont f = base;
    f.setPixelSize(px);
    f.setItalic(italic);
    return f;
}

void setTextColour(QWidget *w, const QColor &c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

// The sheet-type radio buttons keep the names they have always had, in sheet-type order.
const char *const kSheetTypeRadioNames[SheetTypeCount] = {
    "RadioButton10", "RadioButton2",  "RadioButton5", "RadioButton6", "RadioButton9",
    "RadioButton11", "RadioButton12", "RadioButton3", "RadioButton1", "RadioButton13"};

QStringList offsetItems()
{
    QStringList items;
    for (int i = OffsetIndexMin; i <= OffsetIndexMax; ++i)
        items << QString::number((i - OffsetIndexCentre) * 0.5);
    return items;
}

} // namespace

const char *sheetTypeRadioName(int sheetType)
{
    return isValidSheetType(sheetType) ? kSheetTypeRadioNames[sheetType - 1] : "";
}

TfrmMain::TfrmMain(MainWindowEnvironment environment, QWidget *parent)
    : QMainWindow(parent), mEnv(std::move(environment)), mUi(std::make_unique<Ui::TfrmMain>())
{
    if (!mEnv.dialogs)
        mEnv.dialogs = std::make_shared<QtDialogs>();
    if (!mEnv.canvasFactory) {
        mEnv.canvasFactory = [](QPrinter *printer) -> std::unique_ptr<PageCanvas> {
            return std::make_unique<PrinterCanvas>(printer);
        };
    }
    if (!mEnv.workbook)
        mEnv.workbook = std::make_shared<XlsCrtLibrary>();
    if (!mEnv.today)
        mEnv.today = [] { return QDate::currentDate(); };
    if (!mEnv.jobLookup)
        mEnv.jobLookup = &cupsJobLooks;

    buildControls();
    connectHandlers();

    // The start-up timer runs from the moment the window exists, as a design-time timer
    // does; creation may restart it.
    Timer1->start();
    FormCreate();
    if (!closeAtFirstTick)
        refreshLastJob();
}

TfrmMain::~TfrmMain() = default;

// The version and library windows are made when first asked for: most runs never open them,
// and making them was a tenth of the window's start-up. They are top-level windows of their
// own: as children they would be disabled together with the main window while they are
// open, and their OK could never be pressed.
TAboutBox *TfrmMain::AboutBox()
{
    if (!mAboutBox) {
        mAboutBox = std::make_unique<TAboutBox>();
        mAboutBox->hide();
        connect(mAboutBox.get(), &TAboutBox::dismissed, this, &TfrmMain::companionDismissed);
    }
    return mAboutBox.get();
}

TfrmLib *TfrmMain::frmLib()
{
    if (!mFrmLib) {
        mFrmLib = std::make_unique<TfrmLib>();
        mFrmLib->hide();
        connect(mFrmLib.get(), &TfrmLib::dismissed, this, &TfrmMain::companionDismissed);
    }
    return mFrmLib.get();
}

void TfrmMain::buildControls()
{
    // A form's fonts come in points only, and the face is the one this PC has: the window's
    // font is set in pixels before the form's controls inherit it.
    QFont base(uiFaceName());
    base.setBold(true);
    base.setPixelSize(15);
    setFont(withInstalledFamily(base));
    mUi->setupUi(this);
    bindControls();
    bindPrintControls();
    // 931 x 653 outside on the screen; the window manager's frame and the menu bar come
    // out of that. A form keeps no position for a top-level window.
    move(171, 184);

    // The buttons' pictures are the program's own: the desktop's icon theme gave another
    // look on every desktop, and reading its index was a tenth of the window's start.
    const std::pair<QToolButton *, const char *> icons[] = {
        {cmdVersion, ":/icons/version.png"}, {cmdExcel, ":/icons/excel.png"},
        {cmdBack, ":/icons/back.png"},       {cmdEnd, ":/icons/end.png"},
        {cmdPrint, ":/icons/print.png"},
    };
    for (const auto &[button, resource] : icons)
        button->setIcon(builtInIcon(QLatin1String(resource)));
    setWindowIcon(builtInIcon(QStringLiteral(":/icons/corvial-manager.png")));
    setPixelFont(Label4, 32, true);
    setPixelFont(Label2, 24, true);

    buildEntryScreen();
    buildPrintScreen();
    buildPreviews();
    buildListControls();
    PrintScreenHost host;
    host.owner = this;
    host.dialogs = mEnv.dialogs.get();
    host.saveSettings = [this] { SaveSettings(); };
    host.showProofPanel = [this](ProofKind kind) { ShowProofPanel(kind); };
    mPrintScreen =
        new PrintScreen(*mUi, mJob, {circleShapes, rectShapes, tube95Shapes, tube72Shapes},
                        {chkCode, lblCodePrefix, edtCodePrefix, imgCode}, host, this);

    // FontDialog1 starts from the proportional Gothic face at 12 pixels.
    mFontDialogFont = QFont(uiFaceName());
    mFontDialogFont.setPixelSize(12);

    // Not a widget, so not in the form.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
}

void TfrmMain::setPixelFont(QWidget *w, int px, bool italic)
{
    w->setFont(pixelFont(font(), px, italic));
}

void TfrmMain::bindControls()
{
    central = mUi->central;
    cmdVersion = mUi->cmdVersion;
    cmdExcel = mUi->cmdExcel;
    cmdBack = mUi->cmdBack;
    cmdEnd = mUi->cmdEnd;
    Label4 = mUi->Label4;
    Label2 = mUi->Label2;
    pnlMain = mUi->pnlMain;
    pnlPrint = mUi->pnlPrint;
    pnlCircle = mUi->pnlCircle;
    pnlRect = mUi->pnlRect;
    PnlTube = mUi->PnlTube;
    pnlMicro = mUi->pnlMicro;
    image7 = mUi->image7;
    Image2 = mUi->Image2;
    Image4 = mUi->Image4;
    Image6 = mUi->Image6;
    N1 = mUi->N1;
    N2 = mUi->N2;
    N3 = mUi->N3;
    N4 = mUi->N4;
    N5 = mUi->N5;
    N6 = mUi->N6;
    mnuHistory = mUi->mnuHistory;
    mnuPrinterScale = mUi->mnuPrinterScale;
    Font1 = mUi->Font1;
    PopupMenu1 = mUi->PopupMenu1;

    Label3 = mUi->Label3;
    Label14 = mUi->Label14;
    Label1 = mUi->Label1;
    Label5 = mUi->Label5;
    Edit2 = mUi->Edit2;
    Memo5 = mUi->Memo5;
    Memo8 = mUi->Memo8;
    RadioGroup1 = mUi->RadioGroup1;
    RadioGroup1Items[0] = mUi->RadioGroup1Item0;
    RadioGroup1Items[1] = mUi->RadioGroup1Item1;
    RadioGroup1Items[2] = mUi->RadioGroup1Item2;
    RadioGroup1Items[3] = mUi->RadioGroup1Item3;
    ListBox12 = mUi->ListBox12;
    ListBox2 = mUi->ListBox2;
    ListBox1 = mUi->ListBox1;
    cmdPrintSet = mUi->cmdPrintSet;
    GroupBox1 = mUi->GroupBox1;
    RadioButton10 = mUi->RadioButton10;
    RadioButton2 = mUi->RadioButton2;
    RadioButton5 = mUi->RadioButton5;
    RadioButton6 = mUi->RadioButton6;
    RadioButton9 = mUi->RadioButton9;
    RadioButton11 = mUi->RadioButton11;
    RadioButton12 = mUi->RadioButton12;
    RadioButton3 = mUi->RadioButton3;
    RadioButton1 = mUi->RadioButton1;
    RadioButton13 = mUi->RadioButton13;
}

void TfrmMain::bindPrintControls()
{
    ListBox20 = mUi->ListBox20;
    ListBox23 = mUi->ListBox23;
    ListBox25 = mUi->ListBox25;
    ListBox21 = mUi->ListBox21;
    ListBox19 = mUi->ListBox19;
    Label8 = mUi->Label8;
    Label26 = mUi->Label26;
    Label38 = mUi->Label38;
    Label29 = mUi->Label29;
    Label25 = mUi->Label25;
    GroupBox14 = mUi->GroupBox14;
    GroupBox2 = mUi->GroupBox2;
    pnl150 = mUi->pnl150;
    pnlNum = mUi->pnlNum;
    pnlmemo = mUi->pnlmemo;
    Shape1 = mUi->Shape1;
    Shape2 = mUi->Shape2;
    Label6 = mUi->Label6;
    Label7 = mUi->Label7;
    Panel5 = mUi->Panel5;
    CheckBox1 = mUi->CheckBox1;
    Memo3 = mUi->Memo3;
    Memo7 = mUi->Memo7;
    cmdPrint = mUi->cmdPrint;
    RadioButton4 = mUi->RadioButton4;
    RadioButton7 = mUi->RadioButton7;
    RadioButton8 = mUi->RadioButton8;
}

void TfrmMain::buildEntryScreen()
{
    for (QWidget *w : std::initializer_list<QWidget *>{Label3, Edit2, Memo8, ListBox2, ListBox1})
        setPixelFont(w, 19);
    mEntry = std::make_unique<EntryScreen>(*mUi, mJob, entryHost());

    QFont psFont(verticalFaceName());
    psFont.setPixelSize(19);
    psFont.setBold(true);
    psFont.setItalic(true);
    cmdPrintSet->setFont(withInstalledFamily(psFont));

    // The captions are the proof label's and the sheet table's; the form only places them.
    for (int i = 0; i < MarkerCount; ++i)
        RadioGroup1Items[i]->setText(markerCaption(i));
    RadioGroup1Items[0]->setChecked(true);
    for (int k = 1; k <= SheetTypeCount; ++k) {
        auto *r = GroupBox1->findChild<QRadioButton *>(QLatin1String(sheetTypeRadioName(k)));
        r->setText(QString::fromUtf8(sheetTypeInfo(k).caption));
        setTextColour(r, k >= 8 ? kBlue : QColor(Qt::black));
    }
    RadioButton10->setChecked(true);
}

void TfrmMain::buildPrintScreen()
{
    setPixelFont(ListBox20, 19);
    setPixelFont(Label8, 19);
    setPixelFont(Label26, 13);
    setPixelFont(Label38, 13);
    // The offsets in millimetres, from the range the settings file keeps.
    for (ChoiceList *l : {ListBox23, ListBox25})
        l->addItems(offsetItems());

    setPixelFont(Label7, 27);
    setPixelFont(Label6, 27);
    setPixelFont(Memo3, 11);
    setPixelFont(Panel5, 11);
    setPixelFont(Memo7, 19);
    // Four empty lines, as the proof starts; a form drops a text of line breaks only.
    Memo7->setPlainText(QStringLiteral("\n\n\n"));
    // The proof texts are what printing reads: the same refusal as the entry boxes.
    watchCharacters(mUi->Memo3, EntryScreen::labelTextWord());
    watchCharacters(mUi->Memo7, EntryScreen::labelTextWord());
    // The number proof lies partly left of the print screen's edge: its text starts where the
    // screen shows it, while its bounds stay those the proof was drawn with.
    mUi->Memo3->setTextIndent(-Memo3->mapTo(pnlPrint, QPoint()).x());

    buildCodeControls();
    // The 2-D code's controls are made in code; they follow the proof's choices on Tab.
    setTabOrder(ListBox19, chkCode);
    setTabOrder(chkCode, edtCodePrefix);
    setTabOrder(edtCodePrefix, RadioButton4);
}

void TfrmMain::buildPreviews()
{
    // The cells are the sheet table's label positions, so they are made here and not drawn
    // in the form; the form's pointer surfaces lie over them.
    // Element i (1-based) of each cell list is label position i.
    QVector<ShapeCell *> *const cells[FamilyCount] = {&circleShapes, &rectShapes, &tube95Shapes,
                                                      &tube72Shapes};
    for (int f = 1; f <= FamilyCount; ++f) {
        const auto [panel, surface] = previewOf(f);
        *cells[f - 1] = buildSheetCells(panel, f);
        surface->raise();
    }
}

std::pair<QFrame *, ClickSurface *> TfrmMain::previewOf(int f) const
{
    switch (f) {
    case 1:
        return {pnlCircle, image7};
    case 2:
        return {pnlRect, Image2};
    case 3:
        return {PnlTube, Image4};
    default:
        return {pnlMicro, Image6};
    }
}

void TfrmMain::connectHandlers()
{
    connect(cmdVersion, &QToolButton::clicked, this, &TfrmMain::cmdVersionClick);
    connect(cmdEnd, &QToolButton::clicked, this, &TfrmMain::cmdEndClick);
    connect(cmdBack, &QToolButton::clicked, this, &TfrmMain::cmdBackClick);
    connect(cmdExcel, &QToolButton::clicked, this, &TfrmMain::cmdExcelClick);
    connect(cmdPrint, &QToolButton::clicked, this, &TfrmMain::cmdPrintClick);
    connect(cmdPrintSet, &QPushButton::clicked, this, &TfrmMain::cmdPrintSetClick);
    connect(N2, &QAction::triggered, this, &TfrmMain::N2Click);
    connect(N3, &QAction::triggered, this, &TfrmMain::N3Click);
    connect(N4, &QAction::triggered, this, &TfrmMain::N4Click);
    connect(N5, &QAction::triggered, this, &TfrmMain::N5Click);
    connect(N6, &QAction::triggered, this, &TfrmMain::N6Click);
    connect(mnuHistory, &QAction::triggered, this, &TfrmMain::mnuHistoryClick);
    connect(mnuPrinterScale, &QAction::triggered, this, &TfrmMain::mnuPrinterScaleClick);
    connect(Font1, &QAction::triggered, this, &TfrmMain::Font1Click);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);

    for (QWidget *w : std::initializer_list<QWidget *>{pnl150, pnlNum, Memo3, pnlmemo, Memo7}) {
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { PopupMenu1->popup(w->mapToGlobal(pos)); });
    }

    for (ChoiceList *l : {ListBox2, ListBox12, ListBox1})
        connect(l, &ChoiceList::typedNumberRefused, this,
                [this](const QString &message) { statusLine()->showMessage(message); });

    QRadioButton *const typeButtons[SheetTypeCount] = {
        RadioButton10, RadioButton2,  RadioButton5, RadioButton6, RadioButton9,
        RadioButton11, RadioButton12, RadioButton3, RadioButton1, RadioButton13};
    for (const SheetType type : SheetType::all()) {
        // A button runs its handler when it becomes checked; choosing the button that is
        // already checked runs nothing.
        connect(typeButtons[type.code() - 1], &QRadioButton::toggled, this,
                [this, type](bool checked) {
                    if (checked && keepsListFor(type))
                        chooseSheetType(type);
                });
    }

    for (int i = 0; i < MarkerCount; ++i) {
        connect(RadioGroup1Items[i], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                mJob.marker = i;
        });
    }

    for (QWidget *group : std::initializer_list<QWidget *>{RadioGroup1, GroupBox1, GroupBox2})
        tabEntersAtCheckedButton(group);

    mPrintScreen->connectControls();
}

void TfrmMain::FormCreate()
{
    // 1.
    for (int f = 1; f <= FamilyCount; ++f) {
        mJob.offsetX[f] = 0;
        mJob.offsetY[f] = 0;
        mJob.startPos[f] = 1;
    }
    closeAtFirstTick = false;
    mJob.colorsResetPending = false;

    // 2. The executable's folder: QCoreApplication resolves links to the real binary, so an
    // installed link in bin/ still finds start.txt in the program folder.
    QString dir = mEnv.appDir.isEmpty() ? QCoreApplication::applicationDirPath() : mEnv.appDir;
    dir = QDir::toNativeSeparators(QDir::cleanPath(dir));
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    appDir = dir;

    // 3.
    if (!QFileInfo::exists(settingsFilePath(appDir))) {
        mEnv.dialogs->message(this, QStringLiteral("スタートファイルがありません。"));
        closeAtFirstTick = true;
        Timer1->start();
        return;
    }

    LoadSettings();                         // 4.
    mJob.numberStyle = NumberStyle::Padded; // 5.

    placePanels(); // 6., 7.

    // 8., 9. Runs of numbers the lists format as rows are drawn: an item per number (9,990
    // of them) used to be most of the start-up time.
    ListBox1->addNumbers(MaxRepeatCount);
    ListBox1->selectRow(0);
    mJob.repeatCount = 1;
    ListBox2->addNumbers(MaxSampleCount);
    ListBox12->addNumbers(FirstNumberListMax);
    ListBox2->selectRow(29);
    ListBox12->selectRow(0);
    mJob.sampleCount = 30;

    ShowScreen(Screen::Entry);          // 10.
    mJob.sheetType = SheetType();       // 11.
    ArrangeToolButtons(ToolRow::Entry); // 12.

    // 13.
    mJob.labelFont = QFont(uiFaceName());
    mJob.labelFont.setBold(true);
    // Without a face that draws the numbers the labels would print as empty boxes: say so
    // once now, and refuse to print until a usable font is chosen.
    mLabelFontProblem = labelFontProblem(mJob.labelFont);
    if (!mLabelFontProblem.isEmpty())
        mStartupWarning +=
            (mStartupWarning.isEmpty() ? QString() : QStringLiteral("\n\n")) + mLabelFontProblem;

    // 14.
    ListBox21->addItems(textColourNames());
    ListBox21->selectRow(0);
    ListBox19->addItems(backColourNames());
    ListBox19->selectRow(0);

    // 15.
    ListBox25->selectRow(mJob.offsetX[1]);
    ListBox23->selectRow(mJob.offsetY[1]);

    // 16. buildPreviews keeps the cells of each sheet by label position.

    // 17.
    mJob.sampleCount = 30;
    mJob.initialValue = 1;
    mJob.printAlign = PrintAlign::Left;
}

void TfrmMain::placePanels()
{
    // 6. Each preview ends exactly where the print screen begins.
    const int top = pnlPrint->y();
    for (QFrame *p : {pnlCircle, pnlMicro, PnlTube})
        p->move(pnlPrint->x() - p->width(), top);
    pnlRect->move(pnlPrint->x() - pnlRect->width(), pnlRect->y());

    for (QFrame *p : {pnlCircle, pnlMicro, PnlTube, pnlRect, pnlPrint, pnl150, pnlmemo, pnlNum}) {
        p->setFrameStyle(QFrame::NoFrame);
        p->setLineWidth(0);
    }
}

void TfrmMain::showStartupWarnings()
{
    // A misspelt section of corvial.ini is read past, so the lab's history or scale would
    // quietly not apply: said once, where it does not stop anyone working.
    if (!mCompanionWarningsTold && !closeAtFirstTick) {
        mCompanionWarningsTold = true;
        const QStringList warnings = companionSettingsWarnings(settingsFilePath(appDir));
        if (!warnings.isEmpty()) {
            // The line shows the first one and how many there are; its tip holds them all,
            // one per line, where a long one is not cut off at the window's edge.
            mCompanionWarnings = warnings.size() == 1
                                     ? warnings.first()
                                     : QStringLiteral("corvial.ini の注意 %1 件（この行に重ねると"
                                                      "すべて表示されます）: %2")
                                           .arg(warnings.size())
                                           .arg(warnings.first());
            QStatusBar *line = statusLine();
            line->showMessage(mCompanionWarnings);
            line->setToolTip(warnings.join(u'\n'));
        }
    }
    if (mStartupWarning.isEmpty())
        return;
    const QString text = mStartupWarning;
    mStartupWarning.clear();
    mEnv.dialogs->message(this, text);
}

void TfrmMain::ShowScreen(Screen screen)
{
    if (screen == Screen::Entry) {
        pnlMain->show();
        for (QWidget *w : std::initializer_list<QWidget *>{pnlPrint, pnlCircle, pnlRect, PnlTube,
                                                           pnlMicro, GroupBox2, RadioGroup1})
            w->hide();
        N5->setEnabled(false);
        N6->setEnabled(false);
        updateListActions();
        // A print has moved the start position on since the line was written.
        mEntry->refresh();
        return;
    }
    pnlMain->hide();
    pnlPrint->show();
    N5->setEnabled(true);
    N6->setEnabled(true);
    updateListActions();
    QFrame *previews[FamilyCount] = {pnlCircle, pnlRect, PnlTube, pnlMicro};
    const int f = mJob.family();
    for (int i = 1; i <= FamilyCount; ++i)
        previews[i - 1]->setVisible(i == f);
    GroupBox2->setVisible(mJob.sheetType.info().alignChoice);
    mPrintScreen->showCodeChoice(mJob.sheetType);
}

void TfrmMain::ShowProofPanel(ProofKind kind)
{
    pnl150->setVisible(kind == ProofKind::Circle);
    pnlNum->setVisible(kind == ProofKind::Number || kind == ProofKind::TextOnly);
    pnlmemo->setVisible(kind == ProofKind::Memo);
    // The number proof's number shows for the numbered types only; the others leave it be.
    if (kind == ProofKind::Number)
        Panel5->show();
    else if (kind == ProofKind::TextOnly)
        Panel5->hide();
}

void TfrmMain::ArrangeToolButtons(ToolRow row)
{
    const bool print = row == ToolRow::Print;
    cmdBack->setVisible(print);
    cmdExcel->setVisible(print);
    if (print) {
        cmdExcel->move(80, 8);
        cmdBack->move(152, 8);
        cmdEnd->move(224, 8);
    } else {
        cmdEnd->move(80, 8);
    }
}

void TfrmMain::cmdBackClick()
{
    ShowScreen(Screen::Entry);
    ArrangeToolButtons(ToolRow::Entry);
    ListBox19->selectRow(0);
    mPrintScreen->ListBox19Click();
    ListBox21->selectRow(0);
    mPrintScreen->ListBox21Click();
    // The type's number, as Back has always passed it, not the type's layout.
    ShowEntryLayout(mJob.sheetType.code());
}

void TfrmMain::cmdEndClick()
{
    close();
}

void TfrmMain::cmdVersionClick()
{
    AboutBox()->show();
    setEnabled(false);
}

void TfrmMain::N4Click()
{
    frmLib()->show();
    setEnabled(false);
}

void TfrmMain::companionDismissed()
{
    setEnabled(true);
}

void TfrmMain::Timer1Timer()
{
    if (!Edit2->isHidden() && !pnlMain->isHidden() && isVisible())
        Edit2->setFocus();
    Timer1->stop();
    if (closeAtFirstTick)
        close();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // Closing while a list is read or a print runs is taken as its Cancel; the window stays
    // for the user to go on (and, for labels already on their way, to see how they ended).
    if (mListProgress || mPrintRun) {
        if (mListProgress)
            endListRead();
        else
            mPrintRun->cancel();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        for (QWidget *companion :
             std::initializer_list<QWidget *>{mAboutBox.get(), mFrmLib.get()}) {
            if (companion)
                companion->hide();
        }
        emit closed();
    }
}

void TfrmMain::LoadSettings()
{
    SettingsLoad load;
    QString error;
    if (!readSettingsFile(settingsFilePath(appDir), &load, &error)) {
        // The file exists but cannot be read: go on with the defaults and say why.
        mStartupWarning = error + QStringLiteral("\nすべてのシートをオフセット -5、開始位置 1 の"
                                                 "初期値で始めます。");
        // Saving the defaults would overwrite records that were never read.
        mSettingsUnread = true;
        return;
    }
    for (int f = 1; f <= FamilyCount; ++f) {
        mJob.offsetX[f] = load.settings.family[f].offsetX;
        mJob.offsetY[f] = load.settings.family[f].offsetY;
        mJob.startPos[f] = load.settings.family[f].startPos;
    }
    mJob.settingsTail = load.settings.tail;
    mStartupWarning = settingsWarningText(load.malformedLines);
}

void TfrmMain::SaveSettings()
{
    Settings s;
    for (int f = 1; f <= FamilyCount; ++f) {
        s.family[f].offsetX = mJob.offsetX[f];
        s.family[f].offsetY = mJob.offsetY[f];
        s.family[f].startPos = mJob.startPos[f];
    }
    s.tail = mJob.settingsTail;
    QString error;
    if (mSettingsUnread)
        error = unreadSettingsSaveError(settingsFilePath(appDir));
    if (!error.isEmpty() || !writeSettingsFile(settingsFilePath(appDir), s, &error))
        mEnv.dialogs->error(this, error + QStringLiteral("\n変更した値は、次に保存できるまで"
                                                         "このまま使われます。"));
}

// The entry screen's own work is EntryScreen's; the window keeps its handlers' names.
EntryHost TfrmMain::entryHost()
{
    EntryHost host;
    host.message = [this](const QString &text) { mEnv.dialogs->message(this, text); };
    host.status = [this](const QString &text) { statusLine()->showMessage(text); };
    host.listExtent = [this] { return listExtent(); };
    host.typeChosen = [this] {
        showListOnEntryScreen();
        updateListActions();
        refreshLastJob();
    };
    return host;
}

int TfrmMain::memo8MaxLength() const
{
    return mEntry->memo8MaxLength();
}

void TfrmMain::chooseSheetType(SheetType type)
{
    mEntry->chooseSheetType(type);
}

void TfrmMain::ShowEntryLayout(int layout)
{
    mEntry->ShowEntryLayout(layout);
}

void TfrmMain::ShowRepeatChoice(bool shown)
{
    mEntry->ShowRepeatChoice(shown);
}

void TfrmMain::ListBox2Click()
{
    mEntry->ListBox2Click();
}

void TfrmMain::ListBox1Click()
{
    mEntry->ListBox1Click();
}

void TfrmMain::ListBox12Click()
{
    mEntry->ListBox12Click();
}

void TfrmMain::Edit2Change()
{
    mEntry->Edit2Change();
}

void TfrmMain::Memo8Change()
{
    mEntry->Memo8Change();
}

void TfrmMain::Memo5Change()
{
    mEntry->Memo5Change();
}

void TfrmMain::watchCharacters(MemoBox *box, const QString &what)
{
    mEntry->watchCharacters(box, what);
}

void TfrmMain::watchCharacters(LineBox *box, const QString &what)
{
    mEntry->watchCharacters(box, what);
}

void TfrmMain::N2Click()
{
    setNumberStyle(NumberStyle::Padded);
}

void TfrmMain::N3Click()
{
    setNumberStyle(NumberStyle::Plain);
}

void TfrmMain::setNumberStyle(NumberStyle style)
{
    mJob.numberStyle = style;
    N2->setChecked(style == NumberStyle::Padded);
    N3->setChecked(style == NumberStyle::Plain);
    if (!pnlPrint->isHidden())
        cmdPrintSetClick();
}

QWidget *textBoxControl(const TfrmMain &w, TextBoxKind kind)
{
    switch (kind) {
    case TextBoxKind::OneLine:
        return w.Edit2;
    case TextBoxKind::Lines:
        return w.Memo8;
    case TextBoxKind::Memo:
        return w.Memo5;
    case TextBoxKind::Marker:
        break;
    }
    return nullptr;
}

QString textBoxText(const QWidget *control)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(control))
        return memo->toPlainText();
    return QString();
}

void setTextBoxText(QWidget *control, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(text);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(control))
        memo->setPlainText(text);
}

SheetType chosenSheetType(int choice)
{
    return SheetType::fromCode(choice).value_or(SheetType());
}

} // namespace corvial
