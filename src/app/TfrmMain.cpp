// SPDX-License-Identifier: GPL-3.0-or-later
// Construction of the main window, window creation, and the screen routines.
#include "TfrmMain.h"

#include "Controls.h"
#include "Dialogs.h"
#include "TAboutBox.h"
#include "TfrmLib.h"
#include "export/XlsCrtLibrary.h"
#include "job/Colours.h"
#include "job/Fonts.h"
#include "job/JobRules.h"
#include "job/ProofLabel.h"
#include "preview/PreviewRules.h"
#include "print/PageCanvas.h"
#include "print/PrinterCanvas.h"
#include "settings/SettingsFile.h"

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
#include <QStyle>
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

// Name of the preview cell of label position i of family f, as the sheet pictures have
// always named them.
QString previewCellName(int f, int i)
{
    switch (f) {
    case 1:
        return QStringLiteral("Shape%1").arg(200 + i);
    case 2:
        return i == 27 ? QStringLiteral("rect27")
                       : QStringLiteral("Rect%1").arg(i, 2, 10, QLatin1Char('0'));
    case 3:
        return QStringLiteral("Shape%1").arg(97 + i);
    default:
        return QStringLiteral("Shape%1").arg(i <= 8 ? 192 + i : 343 + i);
    }
}

TListBox *newListBox(QWidget *parent, const char *name, const QRect &r)
{
    auto *l = new TListBox(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(r);
    // Every list of the program is a choice that handlers, printing and export read: a
    // list the user has emptied would go on using a value while showing none.
    l->setKeepSelection(true);
    return l;
}

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
    : QMainWindow(parent), mEnv(std::move(environment))
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

    buildControls();
    connectHandlers();

    // The start-up timer runs from the moment the window exists, as a design-time timer
    // does; creation may restart it.
    Timer1->start();
    FormCreate();

    // Top-level windows of their own: as children they would be disabled together with the
    // main window while they are open, and their OK could never be pressed.
    AboutBox = new TAboutBox();
    AboutBox->hide();
    frmLib = new TfrmLib();
    frmLib->hide();
    connect(AboutBox, &TAboutBox::dismissed, this, &TfrmMain::companionDismissed);
    connect(frmLib, &TfrmLib::dismissed, this, &TfrmMain::companionDismissed);
}

TfrmMain::~TfrmMain()
{
    delete AboutBox;
    delete frmLib;
}

void TfrmMain::buildControls()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("frmMain"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/corvial-manager.png")));
    QFont base(uiFaceName());
    base.setBold(true);
    base.setPixelSize(15);
    setFont(base);
    // 931 x 653 outside on the screen; the window manager's frame and the menu bar come
    // out of that, leaving this client area.
    move(171, 184);
    resize(915, 614);

    central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);
    buildMenus();

    // Theme icons where the desktop has them, the style's own pictures otherwise.
    auto toolButton = [this](const char *name, const QString &caption, const QString &icon, int x) {
        static const QHash<QString, QStyle::StandardPixmap> fallback = {
            {QStringLiteral("help-about"), QStyle::SP_MessageBoxInformation},
            {QStringLiteral("x-office-spreadsheet"), QStyle::SP_DialogSaveButton},
            {QStringLiteral("go-previous"), QStyle::SP_ArrowBack},
            {QStringLiteral("application-exit"), QStyle::SP_DialogCloseButton},
        };
        auto *b = new QToolButton(central);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setIcon(QIcon::fromTheme(icon, style()->standardIcon(fallback.value(icon))));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setGeometry(x, 8, 65, 65);
        return b;
    };
    cmdVersion =
        toolButton("cmdVersion", QStringLiteral("Version"), QStringLiteral("help-about"), 8);
    cmdExcel =
        toolButton("cmdExcel", QStringLiteral("Excel"), QStringLiteral("x-office-spreadsheet"), 80);
    cmdBack = toolButton("cmdBack", QStringLiteral("Back"), QStringLiteral("go-previous"), 152);
    cmdEnd = toolButton("cmdEnd", QStringLiteral("End"), QStringLiteral("application-exit"), 224);

    Label4 = new QLabel(QStringLiteral("Corvial Manager "), central);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(416, 16, 320, 33);
    Label4->setFont(pixelFont(base, 32, true));
    setTextColour(Label4, kBlue);

    Label2 = new QLabel(QStringLiteral("Laboratory sample labels"), central);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(536, 56, 328, 24);
    Label2->setFont(pixelFont(base, 24, true));
    setTextColour(Label2, kBlue);

    auto panel = [this](const char *name, const QRect &bounds) {
        auto *p = new QFrame(central);
        p->setObjectName(QLatin1String(name));
        p->setGeometry(bounds);
        p->setFrameStyle(QFrame::Panel | QFrame::Raised);
        return p;
    };
    pnlMain = panel("pnlMain", QRect(56, 128, 793, 385));
    pnlMain->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlMain->hide();
    pnlPrint = panel("pnlPrint", QRect(408, 133, 433, 428));
    pnlCircle = panel("pnlCircle", QRect(72, 152, 289, 425));
    pnlRect = panel("pnlRect", QRect(56, 128, 345, 401));
    pnlRect->hide();
    PnlTube = panel("PnlTube", QRect(80, 144, 313, 393));
    PnlTube->hide();
    pnlMicro = panel("pnlMicro", QRect(56, 128, 361, 425));

    buildEntryScreen();
    buildPrintScreen();
    buildPreviews();
    buildListControls();

    // FontDialog1 starts from the proportional Gothic face at 12 pixels.
    mFontDialogFont = QFont(uiFaceName());
    mFontDialogFont.setPixelSize(12);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
}

void TfrmMain::buildMenus()
{
    N1 = menuBar()->addMenu(QStringLiteral("数字"));
    N1->setObjectName(QStringLiteral("N1"));
    N2 = N1->addAction(QStringLiteral("００１"));
    N2->setObjectName(QStringLiteral("N2"));
    N2->setCheckable(true);
    N2->setChecked(true);
    N3 = N1->addAction(QStringLiteral("１"));
    N3->setObjectName(QStringLiteral("N3"));
    N3->setCheckable(true);
    N4 = menuBar()->addAction(QStringLiteral("ライブラリーの登録"));
    N4->setObjectName(QStringLiteral("N4"));
    // Both work on the job and the sheet of the print screen; ShowScreen enables them there.
    N5 = menuBar()->addAction(QStringLiteral("印刷プレビュー"));
    N5->setObjectName(QStringLiteral("N5"));
    N5->setEnabled(false);
    N6 = menuBar()->addAction(QStringLiteral("位置合わせシート印刷"));
    N6->setObjectName(QStringLiteral("N6"));
    N6->setEnabled(false);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Font1 = PopupMenu1->addAction(QStringLiteral("Font"));
    Font1->setObjectName(QStringLiteral("Font1"));
}

void TfrmMain::buildEntryScreen()
{
    const QFont base = font();
    auto label = [this](const char *name, const QString &text, const QRect &r, bool blue, int px) {
        auto *l = new QLabel(text, pnlMain);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(r);
        if (px)
            l->setFont(pixelFont(font(), px));
        if (blue)
            setTextColour(l, kBlue);
        return l;
    };

    Label3 = label("Label3", QStringLiteral("印刷する文字を入力してください"),
                   QRect(64, 40, 321, 33), false, 19);
    auto *edit2 = new TEdit(pnlMain);
    watchCharacters(edit2, labelTextWord());
    Edit2 = edit2;
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(64, 72, 193, 27);
    Edit2->setFont(pixelFont(base, 19));

    auto *memo5 = new TMemo(pnlMain);
    watchCharacters(memo5, labelTextWord());
    Memo5 = memo5;
    Memo5->setObjectName(QStringLiteral("Memo5"));
    Memo5->setGeometry(64, 72, 201, 89);
    Memo5->hide();

    auto *memo8 = new TMemo(pnlMain);
    watchCharacters(memo8, labelTextWord());
    Memo8 = memo8;
    Memo8->setObjectName(QStringLiteral("Memo8"));
    Memo8->setGeometry(64, 72, 209, 73);
    Memo8->setFont(pixelFont(base, 19));
    Memo8->hide();
    for (QPlainTextEdit *m : {Memo5, Memo8})
        m->setLineWrapMode(QPlainTextEdit::NoWrap);

    RadioGroup1 = new QGroupBox(QStringLiteral("表示"), pnlMain);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(200, 64, 97, 105);
    for (int i = 0; i < MarkerCount; ++i) {
        auto *r = new QRadioButton(markerCaption(i), RadioGroup1);
        r->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        r->setGeometry(8, 18 + 21 * i, 85, 20);
        RadioGroup1Items[i] = r;
    }
    RadioGroup1Items[0]->setChecked(true);

    Label14 = label("Label14", QStringLiteral("初期値"), QRect(352, 56, 48, 15), true, 0);
    ListBox12 = newListBox(pnlMain, "ListBox12", QRect(336, 80, 73, 73));
    Label1 = label("Label1", QStringLiteral("サンプル数"), QRect(96, 184, 105, 19), true, 0);
    ListBox2 = newListBox(pnlMain, "ListBox2", QRect(200, 176, 89, 81));
    ListBox2->setFont(pixelFont(base, 19));
    Label5 = label("Label5", QStringLiteral("リピート面数"), QRect(96, 280, 84, 15), true, 0);
    ListBox1 = newListBox(pnlMain, "ListBox1", QRect(200, 272, 97, 57));
    ListBox1->setFont(pixelFont(base, 19));

    cmdPrintSet = new QPushButton(QStringLiteral("PrintSet"), pnlMain);
    cmdPrintSet->setObjectName(QStringLiteral("cmdPrintSet"));
    cmdPrintSet->setGeometry(344, 296, 121, 57);
    QFont psFont(verticalFaceName());
    psFont.setPixelSize(19);
    psFont.setBold(true);
    psFont.setItalic(true);
    cmdPrintSet->setFont(psFont);
    setTextColour(cmdPrintSet, kBlue);

    GroupBox1 = new QGroupBox(QStringLiteral("シートタイプ"), pnlMain);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(488, 56, 289, 289);
    setTextColour(GroupBox1, kBlue);
    QRadioButton **buttons[SheetTypeCount] = {
        &RadioButton10, &RadioButton2,  &RadioButton5, &RadioButton6, &RadioButton9,
        &RadioButton11, &RadioButton12, &RadioButton3, &RadioButton1, &RadioButton13};
    for (int k = 1; k <= SheetTypeCount; ++k) {
        const SheetTypeInfo &info = sheetTypeInfo(k);
        auto *r = new QRadioButton(QString::fromUtf8(info.caption), GroupBox1);
        r->setObjectName(QLatin1String(sheetTypeRadioName(k)));
        r->setGeometry(40, 26 + 25 * (k - 1), 241, 21);
        setTextColour(r, k >= 8 ? kBlue : QColor(Qt::black));
        *buttons[k - 1] = r;
    }
    RadioButton10->setChecked(true);
}

void TfrmMain::buildPrintScreen()
{
    const QFont base = font();
    auto label = [this](QWidget *parent, const char *name, const QString &text, const QRect &r,
                        int px) {
        auto *l = new QLabel(text, parent);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(r);
        if (px)
            l->setFont(pixelFont(font(), px));
        setTextColour(l, kBlue);
        return l;
    };
    auto proofPanel = [this](const char *name, const QRect &r) {
        auto *p = new QFrame(pnlPrint);
        p->setObjectName(QLatin1String(name));
        p->setGeometry(r);
        p->setFrameStyle(QFrame::Panel | QFrame::Raised);
        p->setContextMenuPolicy(Qt::CustomContextMenu);
        return p;
    };

    ListBox20 = newListBox(pnlPrint, "ListBox20", QRect(0, 40, 49, 33));
    ListBox20->setFont(pixelFont(base, 19));
    Label8 = label(pnlPrint, "Label8", QStringLiteral("枚目"), QRect(56, 48, 40, 19), 19);

    GroupBox14 = new QGroupBox(QStringLiteral("オフセット"), pnlPrint);
    GroupBox14->setObjectName(QStringLiteral("GroupBox14"));
    GroupBox14->setGeometry(112, 32, 297, 73);
    Label26 = label(GroupBox14, "Label26", QStringLiteral("縦方向（＋は下）に移動"),
                    QRect(3, 16, 141, 13), 13);
    ListBox23 = newListBox(GroupBox14, "ListBox23", QRect(24, 32, 73, 25));
    Label38 = label(GroupBox14, "Label38", QStringLiteral("横方向（＋は右）に移動"),
                    QRect(147, 16, 141, 13), 13);
    ListBox25 = newListBox(GroupBox14, "ListBox25", QRect(168, 32, 81, 25));
    for (TListBox *l : {ListBox23, ListBox25}) {
        l->addItems(offsetItems());
        l->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }

    // Circle proof.
    pnl150 = proofPanel("pnl150", QRect(16, 128, 161, 169));
    Shape1 = new TShape(TShape::Kind::Circle, pnl150);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(-8, 0, 169, 145);
    Shape2 = new TShape(TShape::Kind::Circle, pnl150);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setGeometry(16, 16, 121, 113);
    Shape2->setOutlineColour(Qt::white);
    QFont proofFont = base;
    proofFont.setPixelSize(27);
    Label7 = new QLabel(QStringLiteral("Label13"), pnl150);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setGeometry(40, 38, 81, 27);
    Label7->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label7->setFont(proofFont);
    Label6 = new QLabel(QStringLiteral("Label12"), pnl150);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(40, 70, 89, 27);
    Label6->setAlignment(Qt::AlignCenter);
    Label6->setFont(proofFont);
    for (QLabel *l : {Label7, Label6}) {
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, Qt::white);
        p.setColor(QPalette::WindowText, Qt::black);
        l->setPalette(p);
    }
    CheckBox1 = new QCheckBox(QStringLiteral("枠"), pnl150);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(120, 150, 38, 17);

    // Number proof.
    pnlNum = proofPanel("pnlNum", QRect(-16, 144, 227, 153));
    QFont small = base;
    small.setPixelSize(11);
    // The proof texts are what printing reads: the same refusal as the entry boxes.
    auto *memo3 = new TMemo(pnlNum);
    watchCharacters(memo3, labelTextWord());
    Memo3 = memo3;
    Memo3->setObjectName(QStringLiteral("Memo3"));
    Memo3->setGeometry(8, 32, 161, 57);
    Memo3->setFont(small);
    Panel5 = new QLabel(QStringLiteral("1"), pnlNum);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setGeometry(168, 32, 49, 57);
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel5->setLineWidth(2);
    Panel5->setAlignment(Qt::AlignCenter);
    Panel5->setFont(small);
    Panel5->setAutoFillBackground(true);
    // White like the other proof texts until a colour is chosen; the style's window grey
    // would show a colour the labels never get.
    QPalette panel5Colours = Panel5->palette();
    panel5Colours.setColor(QPalette::Window, Qt::white);
    panel5Colours.setColor(QPalette::WindowText, Qt::black);
    Panel5->setPalette(panel5Colours);

    // Memo proof.
    pnlmemo = proofPanel("pnlmemo", QRect(0, 160, 177, 121));
    auto *memo7 = new TMemo(pnlmemo);
    watchCharacters(memo7, labelTextWord());
    Memo7 = memo7;
    Memo7->setObjectName(QStringLiteral("Memo7"));
    Memo7->setGeometry(24, 24, 145, 73);
    Memo7->setFont(pixelFont(base, 19));
    Memo7->setPlainText(QStringLiteral("\n\n\n"));
    for (QPlainTextEdit *m : {Memo3, Memo7}) {
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setContextMenuPolicy(Qt::CustomContextMenu);
        QPalette p = m->palette();
        p.setColor(QPalette::Base, Qt::white);
        p.setColor(QPalette::Text, Qt::black);
        m->setPalette(p);
    }

    Label29 = label(pnlPrint, "Label29", QStringLiteral("文字の色"), QRect(237, 144, 68, 16), 0);
    ListBox21 = newListBox(pnlPrint, "ListBox21", QRect(232, 168, 89, 97));
    Label25 = label(pnlPrint, "Label25", QStringLiteral("背景の色"), QRect(333, 144, 68, 16), 0);
    ListBox19 = newListBox(pnlPrint, "ListBox19", QRect(328, 168, 81, 97));

    cmdPrint = new QToolButton(pnlPrint);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdPrint->setText(QStringLiteral("Print"));
    cmdPrint->setIcon(QIcon::fromTheme(QStringLiteral("document-print"),
                                       QIcon(QStringLiteral(":/icons/corvial-manager.png"))));
    cmdPrint->setIconSize(QSize(40, 40));
    cmdPrint->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    cmdPrint->setGeometry(256, 292, 89, 81);

    GroupBox2 = new QGroupBox(QStringLiteral("プリント位置"), pnlPrint);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(16, 360, 217, 41);
    auto align = [this](const char *name, const QString &text, int x) {
        auto *r = new QRadioButton(text, GroupBox2);
        r->setObjectName(QLatin1String(name));
        r->setGeometry(x, 16, 60, 20);
        return r;
    };
    RadioButton4 = align("RadioButton4", QStringLiteral("左"), 16);
    RadioButton7 = align("RadioButton7", QStringLiteral("中央"), 80);
    RadioButton8 = align("RadioButton8", QStringLiteral("右"), 152);
    RadioButton4->setChecked(true);
    buildCodeControls();
}

void TfrmMain::buildPreviews()
{
    struct Preview
    {
        QFrame *panel;
        TImage **image;
        const char *imageName;
        QRect imageBounds;
        TShape::Kind kind;
    };
    const Preview previews[FamilyCount] = {
        {pnlCircle, &image7, "image7", QRect(48, 16, 177, 385), TShape::Kind::Circle},
        {pnlRect, &Image2, "Image2", QRect(48, 72, 249, 249), TShape::Kind::Rectangle},
        {PnlTube, &Image4, "Image4", QRect(40, 48, 249, 321), TShape::Kind::Rectangle},
        {pnlMicro, &Image6, "Image6", QRect(16, 56, 313, 321), TShape::Kind::Rectangle},
    };
    for (int f = 1; f <= FamilyCount; ++f) {
        const Preview &p = previews[f - 1];
        for (int i = 1; i <= labelsInFamily(f); ++i) {
            auto *s = new TShape(p.kind, p.panel);
            s->setObjectName(previewCellName(f, i));
            s->setGeometry(previewCellRect(familyInfo(f), i));
        }
        auto *image = new TImage(p.panel);
        image->setObjectName(QLatin1String(p.imageName));
        image->setGeometry(p.imageBounds);
        image->raise();
        *p.image = image;
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
    connect(Font1, &QAction::triggered, this, &TfrmMain::Font1Click);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);

    for (QWidget *w : std::initializer_list<QWidget *>{pnl150, pnlNum, Memo3, pnlmemo, Memo7}) {
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { PopupMenu1->popup(w->mapToGlobal(pos)); });
    }

    connect(ListBox2, &TListBox::userClicked, this, &TfrmMain::ListBox2Click);
    connect(ListBox1, &TListBox::userClicked, this, &TfrmMain::ListBox1Click);
    connect(ListBox12, &TListBox::userClicked, this, &TfrmMain::ListBox12Click);
    connect(ListBox23, &TListBox::userClicked, this, &TfrmMain::ListBox23Click);
    connect(ListBox25, &TListBox::userClicked, this, &TfrmMain::ListBox25Click);
    connect(ListBox19, &TListBox::userClicked, this, &TfrmMain::ListBox19Click);
    connect(ListBox21, &TListBox::userClicked, this, &TfrmMain::ListBox21Click);
    connect(ListBox20, &TListBox::userClicked, this, &TfrmMain::ListBox20Click);
    connect(Edit2, &QLineEdit::textChanged, this, &TfrmMain::Edit2Change);
    connect(Memo8, &QPlainTextEdit::textChanged, this, &TfrmMain::Memo8Change);
    connect(Memo5, &QPlainTextEdit::textChanged, this, &TfrmMain::Memo5Change);
    connect(CheckBox1, &QCheckBox::clicked, this, &TfrmMain::CheckBox1Click);
    connect(RadioButton4, &QRadioButton::clicked, this, &TfrmMain::RadioButton4Click);
    connect(RadioButton7, &QRadioButton::clicked, this, &TfrmMain::RadioButton7Click);
    connect(RadioButton8, &QRadioButton::clicked, this, &TfrmMain::RadioButton8Click);

    QRadioButton *const typeButtons[SheetTypeCount] = {
        RadioButton10, RadioButton2,  RadioButton5, RadioButton6, RadioButton9,
        RadioButton11, RadioButton12, RadioButton3, RadioButton1, RadioButton13};
    for (int k = 1; k <= SheetTypeCount; ++k) {
        // A button runs its handler when it becomes checked; choosing the button that is
        // already checked runs nothing.
        connect(typeButtons[k - 1], &QRadioButton::toggled, this, [this, k](bool checked) {
            if (checked && keepsListFor(k))
                chooseSheetType(k);
        });
    }

    connect(image7, &TImage::mouseMoved, this, &TfrmMain::previewMouseMove);
    connect(Image2, &TImage::mouseMoved, this, &TfrmMain::previewMouseMove);
    connect(Image4, &TImage::mouseMoved, this, &TfrmMain::previewMouseMove);
    connect(Image6, &TImage::mouseMoved, this, &TfrmMain::previewMouseMove);
    connect(image7, &TImage::clicked, this, [this] { previewClick(1); });
    connect(Image2, &TImage::clicked, this, [this] { previewClick(2); });
    connect(Image4, &TImage::clicked, this, [this] { previewClick(3); });
    connect(Image6, &TImage::clicked, this, [this] { previewClick(4); });
}

void TfrmMain::FormCreate()
{
    // 1.
    for (int f = 1; f <= FamilyCount; ++f) {
        offsetX[f] = 0;
        offsetY[f] = 0;
        startPos[f] = 1;
    }
    closeAtFirstTick = false;
    colorsResetPending = false;

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
    numberStyle = int(NumberStyle::Padded); // 5.

    // 6. Each preview ends exactly where the print screen begins.
    const int top = pnlPrint->y();
    for (QFrame *p : {pnlCircle, pnlMicro, PnlTube})
        p->move(pnlPrint->x() - p->width(), top);
    pnlRect->move(pnlPrint->x() - pnlRect->width(), pnlRect->y());

    // 7.
    for (QFrame *p : {pnlCircle, pnlMicro, PnlTube, pnlRect, pnlPrint, pnl150, pnlmemo, pnlNum}) {
        p->setFrameStyle(QFrame::NoFrame);
        p->setLineWidth(0);
    }

    // 8., 9. Runs of numbers the lists format as rows are drawn: an item per number (9,990
    // of them) used to be most of the start-up time.
    ListBox1->addNumbers(MaxRepeatCount);
    ListBox1->selectRow(0);
    repeatCount = 1;
    ListBox2->addNumbers(MaxSampleCount);
    ListBox12->addNumbers(FirstNumberListMax);
    ListBox2->selectRow(29);
    ListBox12->selectRow(0);
    sampleCount = 30;

    ShowScreen(0);         // 10.
    sheetType = 1;         // 11.
    ArrangeToolButtons(0); // 12.

    // 13.
    labelFont = QFont(uiFaceName());
    labelFont.setBold(true);
    // Without a face that draws the numbers the labels would print as empty boxes: say so
    // once now, and refuse to print until a usable font is chosen.
    mLabelFontProblem = labelFontProblem(labelFont);
    if (!mLabelFontProblem.isEmpty())
        mStartupWarning +=
            (mStartupWarning.isEmpty() ? QString() : QStringLiteral("\n\n")) + mLabelFontProblem;

    // 14.
    ListBox21->addItems(textColourNames());
    ListBox21->selectRow(0);
    ListBox19->addItems(backColourNames());
    ListBox19->selectRow(0);

    // 15.
    ListBox25->selectRow(offsetX[1]);
    ListBox23->selectRow(offsetY[1]);

    // 16.
    QFrame *const panels[FamilyCount] = {pnlCircle, pnlRect, PnlTube, pnlMicro};
    QVector<TShape *> *const arrays[FamilyCount] = {&circleShapes, &rectShapes, &tube95Shapes,
                                                    &tube72Shapes};
    for (int f = 1; f <= FamilyCount; ++f) {
        QVector<TShape *> &shapes = *arrays[f - 1];
        shapes = QVector<TShape *>(labelsInFamily(f) + 1, nullptr);
        for (int i = 1; i <= labelsInFamily(f); ++i)
            shapes[i] = panels[f - 1]->findChild<TShape *>(previewCellName(f, i),
                                                           Qt::FindDirectChildrenOnly);
    }

    // 17.
    sampleCount = 30;
    initialValue = 1;
    printAlign = int(PrintAlign::Left);
}

void TfrmMain::showStartupWarnings()
{
    if (mStartupWarning.isEmpty())
        return;
    const QString text = mStartupWarning;
    mStartupWarning.clear();
    mEnv.dialogs->message(this, text);
}

void TfrmMain::ShowScreen(int mode)
{
    if (mode == 0) {
        pnlMain->show();
        for (QWidget *w : std::initializer_list<QWidget *>{pnlPrint, pnlCircle, pnlRect, PnlTube,
                                                           pnlMicro, GroupBox2, RadioGroup1})
            w->hide();
        N5->setEnabled(false);
        N6->setEnabled(false);
        updateListActions();
        return;
    }
    if (!isValidSheetType(mode))
        return;
    pnlMain->hide();
    pnlPrint->show();
    N5->setEnabled(true);
    N6->setEnabled(true);
    updateListActions();
    QFrame *previews[FamilyCount] = {pnlCircle, pnlRect, PnlTube, pnlMicro};
    const int f = FamilyOfType(mode);
    for (int i = 1; i <= FamilyCount; ++i)
        previews[i - 1]->setVisible(i == f);
    GroupBox2->setVisible(sheetTypeInfo(mode).alignChoice);
    showCodeChoice(mode);
}

void TfrmMain::ShowProofPanel(int kind)
{
    switch (kind) {
    case 1:
        pnl150->show();
        pnlNum->hide();
        pnlmemo->hide();
        break;
    case 2:
        pnl150->hide();
        pnlNum->show();
        Panel5->show();
        pnlmemo->hide();
        break;
    case 3:
        pnl150->hide();
        pnlNum->hide();
        pnlmemo->show();
        break;
    case 4:
        pnl150->hide();
        pnlNum->show();
        Panel5->hide();
        pnlmemo->hide();
        break;
    default:
        break;
    }
}

void TfrmMain::ArrangeToolButtons(int state)
{
    if (state == 0) {
        cmdBack->hide();
        cmdExcel->hide();
        cmdEnd->move(80, 8);
    } else if (state == 1) {
        cmdBack->show();
        cmdExcel->show();
        cmdExcel->move(80, 8);
        cmdBack->move(152, 8);
        cmdEnd->move(224, 8);
    }
}

void TfrmMain::cmdBackClick()
{
    ShowScreen(0);
    ArrangeToolButtons(0);
    ListBox19->selectRow(0);
    ListBox19Click();
    ListBox21->selectRow(0);
    ListBox21Click();
    ShowEntryLayout(sheetType);
}

void TfrmMain::cmdEndClick()
{
    close();
}

void TfrmMain::cmdVersionClick()
{
    AboutBox->show();
    setEnabled(false);
}

void TfrmMain::N4Click()
{
    frmLib->show();
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
    // Closing while a list is read gives up the read; the window stays for the user to go on.
    if (mListProgress) {
        mListProgress->cancel();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        AboutBox->hide();
        frmLib->hide();
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
        offsetX[f] = load.settings.family[f].offsetX;
        offsetY[f] = load.settings.family[f].offsetY;
        startPos[f] = load.settings.family[f].startPos;
    }
    settingsTail = load.settings.tail;
    mStartupWarning = settingsWarningText(load.malformedLines);
}

void TfrmMain::SaveSettings()
{
    Settings s;
    for (int f = 1; f <= FamilyCount; ++f) {
        s.family[f].offsetX = offsetX[f];
        s.family[f].offsetY = offsetY[f];
        s.family[f].startPos = startPos[f];
    }
    s.tail = settingsTail;
    QString error;
    if (mSettingsUnread)
        error = unreadSettingsSaveError(settingsFilePath(appDir));
    if (!error.isEmpty() || !writeSettingsFile(settingsFilePath(appDir), s, &error))
        mEnv.dialogs->error(this, error + QStringLiteral("\n変更した値は、次に保存できるまで"
                                                         "このまま使われます。"));
}

void TfrmMain::ListBox23Click()
{
    offsetY[family()] = ListBox23->currentRow();
    SaveSettings();
}

void TfrmMain::ListBox25Click()
{
    offsetX[family()] = ListBox25->currentRow();
    SaveSettings();
}

} // namespace corvial
