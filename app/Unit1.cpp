#include "app/Unit1.h"

#include "app/Controls.h"
#include "app/LoadData.h"
#include "app/ModeCaption.h"
#include "app/StartDatabase.h"
#include "app/WebBanner.h"
#include "output/CsvExport.h"
#include "output/Help.h"
#include "search/ResultGrid.h"
#include "search/Street.h"
#include "search/VabFinde.h"
#include "search/Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <algorithm>

using namespace widgets;

namespace {

const QString kTitle = QStringLiteral("Информационный справочник г.Ведрогорска v 2.0 (10.02.2007)");
const QString kModeHint =
    QStringLiteral("для более обширного поиска кликни на надпись и выбери условие");

QLabel* caption(QWidget* parent, const QString& name, const QString& text, const QFont& font,
                const QColor& color = Qt::black)
{
    auto* l = named(new QLabel(text, parent), name);
    l->setFont(font);
    setTextColor(l, color);
    l->adjustSize();
    return l;
}

// A labelled edit box: the box at rect, its caption above it or to its left.
enum class CaptionAt { Above, Left };
QLineEdit* labeledEdit(QWidget* parent, const QString& name, const QString& captionText,
                       const QRect& rect, CaptionAt at, const QFont& captionFont,
                       const QColor& captionColor, const QString& accessible,
                       QLabel** captionOut = nullptr)
{
    auto* e = named(new QLineEdit(parent), name, accessible);
    e->setFont(pixelFont(11));
    e->setGeometry(rect);
    QLabel* l = caption(parent, name + QStringLiteral("Label"), captionText, captionFont, captionColor);
    l->setBuddy(e);
    if (at == CaptionAt::Above) {
        l->move(rect.left(), rect.top() - l->height() - 1);
    } else {
        // Beside the field, right-aligned to it; where this system's font is wider than the
        // room left of the field, a smaller size keeps the whole caption inside its box.
        const int room = rect.left() - 3 - 2;
        for (QFont f = l->font(); l->width() > room && f.pixelSize() > 8;) {
            f.setPixelSize(f.pixelSize() - 1);
            l->setFont(f);
            l->adjustSize();
        }
        l->move(rect.left() - l->width() - 3, rect.top() + (rect.height() - l->height()) / 2);
    }
    if (captionOut)
        *captionOut = l;
    return e;
}

ClickLabel* modeLabel(QWidget* parent, const QString& name, QLabel* fieldCaption, int px,
                      const QString& fieldName)
{
    auto* m = named(new ModeCaption(fieldName, parent), name);
    m->setFont(pixelFont(px));
    setTextColor(m, Qt::black);
    m->setToolTip(kModeHint);
    m->setCursor(Qt::PointingHandCursor);
    m->adjustSize();
    m->move(fieldCaption->geometry().right() + 6,
            fieldCaption->geometry().bottom() - m->height() + 1);
    return m;
}

QFrame* panel(QWidget* parent, const QString& name)
{
    auto* p = named(new QFrame(parent), name);
    p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    p->setLineWidth(1);
    return p;
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent)
    , grid_(std::make_unique<StringGrid>(search::kGridLayoutColumns))
{
    buildWindow();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildWindow()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setFont(pixelFont(11));
    // A fixed border: the size is the window manager's to keep, not the user's to drag.
    setFixedSize(kClientWidth, kClientHeight);
    move(276, 195);

    MainMenu1 = named(new QMenuBar(this), QStringLiteral("MainMenu1"));
    MainMenu1->setFixedHeight(24);
    setMenuBar(MainMenu1);

    PageControl1 = named(new QTabWidget(this), QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    PageControl1->setStyleSheet(QStringLiteral(
        "QTabBar::tab { color: black; font-weight: bold; padding: 2px 10px; margin: 2px;"
        " border: 1px solid #808080; background: #d4d0c8; }"
        "QTabBar::tab:selected { border-style: inset; background: #e4e0d8; }"));
    TabSheet1 = named(new QWidget, QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("База физических лиц 2006"));
    PageControl1->tabBar()->setFont(pixelFont(11, true));
    setCentralWidget(PageControl1);
    TabSheet1->installEventFilter(this);

    buildSearchPanel();
    buildResultsPanel();
    buildGrid();

    StatusBar1 = named(new QStatusBar(this), QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(19);
    statusLabel_ = named(new QLabel(StatusBar1), QStringLiteral("StatusBar1Text"));
    statusLabel_->setFont(pixelFont(11));
    StatusBar1->addWidget(statusLabel_, 1);
    setStatusBar(StatusBar1);
    setStatusText(QStringLiteral("F1 Для выбора поиска, кликните мышкой на надпись \"точнее\""));

    // The banner lies over the menu strip and the top of the page area.
    Panel2 = named(new ClickLabel(bannerText1(), this), QStringLiteral("Panel2"));
    Panel2->setGeometry(184, 8, 638, 41);
    Panel2->setAlignment(Qt::AlignCenter);
    Panel2->setAutoFillBackground(true);
    {
        QPalette p = Panel2->palette();
        p.setColor(QPalette::Window, kSkyBlue);
        p.setColor(QPalette::WindowText, kRed);
        Panel2->setPalette(p);
    }
    Panel2->setFont(pixelFont(19, true));
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel2->setCursor(Qt::PointingHandCursor);
    Panel2->hide();
    Panel2->raise();
    connect(static_cast<ClickLabel*>(Panel2), &ClickLabel::clicked, this, [this] { banner_->click(); });

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, [this] { banner_->step(); });
    banner_ = std::make_unique<WebBanner>(Panel2, Timer1, BitBtn4);
    Timer1->start();

    // "Поиск..." is the default button: Enter searches from any field.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* s = new QShortcut(QKeySequence(key), this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, &TForm1::enterPressed);
    }
}

void TForm1::buildSearchPanel()
{
    Panel1 = panel(TabSheet1, QStringLiteral("Panel1"));

    // Name fields, inside a bevel frame on the left.
    Bevel1 = named(new QFrame(Panel1), QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(4, 4, 153, 137);
    const QFont nameCaption = pixelFont(11, true);
    struct NameField {
        const char* edit;
        const char* mode;
        QString caption;
        int px;
        QLineEdit** editOut;
        ClickLabel** modeOut;
    } names[] = {
        {"LabeledEdit1", "StaticText6", QStringLiteral("Фамилия"), 11, &LabeledEdit1, &StaticText6},
        {"LabeledEdit2", "StaticText14", QStringLiteral("Имя"), 8, &LabeledEdit2, &StaticText14},
        {"LabeledEdit3", "StaticText15", QStringLiteral("Отчество"), 8, &LabeledEdit3, &StaticText15},
    };
    int y = 25;
    for (const auto& n : names) {
        QLabel* cap = nullptr;
        *n.editOut = labeledEdit(Panel1, QString::fromLatin1(n.edit), n.caption,
                                 QRect(16, y, 129, 21), CaptionAt::Above, nameCaption, kNavy,
                                 n.caption, &cap);
        *n.modeOut = modeLabel(Panel1, QString::fromLatin1(n.mode), cap, n.px, n.caption);
        y += 44;
    }

    GroupBox1 = named(new QGroupBox(QStringLiteral("Адрес места жительства:"), Panel1),
                      QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(164, 6, 649, 133);
    GroupBox1->setFont(pixelFont(11, true));
    GroupBox1->setStyleSheet(QStringLiteral("QGroupBox#GroupBox1::title { color: #800000; }"));

    // Country and region: bold italic until their list is first opened.
    const auto combo = [this](const QString& name, const QString& text, int x) {
        auto* c = named(new DropDownComboBox(GroupBox1), name, text);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setFont(pixelFont(11, true, true));
        setTextColor(c, Qt::black);
        c->setGeometry(x, 20, 174, 21);
        c->setEditText(text);
        return c;
    };
    ComboBox1 = combo(QStringLiteral("ComboBox1"), search::kCountryPlaceholder, 8);
    ComboBox6 = combo(QStringLiteral("ComboBox6"), search::kRegionPlaceholder, 188);
    connect(ComboBox1, &DropDownComboBox::droppedDown, this, &TForm1::ComboBox1DropDown);
    connect(ComboBox6, &DropDownComboBox::droppedDown, this, &TForm1::ComboBox6DropDown);

    // District, city, village, street: caption with mode label above, "..." beside the box.
    const QFont plain = pixelFont(11);
    struct AddressField {
        const char* edit;
        const char* mode;
        const char* button;
        QString caption;
        QLineEdit** editOut;
        ClickLabel** modeOut;
        QPushButton** buttonOut;
    } address[] = {
        {"LabeledEdit24", "StaticText4", "Button2", QStringLiteral("Район"), &LabeledEdit24,
         &StaticText4, &Button2},
        {"LabeledEdit25", "StaticText8", "Button8", QStringLiteral("Город"), &LabeledEdit25,
         &StaticText8, &Button8},
        {"LabeledEdit26", "StaticText9", "Button9", QStringLiteral("Поселок"), &LabeledEdit26,
         &StaticText9, &Button9},
        {"LabeledEdit4", "StaticText3", "Button7", QStringLiteral("Улица"), &LabeledEdit4,
         &StaticText3, &Button7},
    };
    int x = 8;
    for (const auto& a : address) {
        QLabel* cap = nullptr;
        *a.editOut = labeledEdit(GroupBox1, QString::fromLatin1(a.edit), a.caption,
                                 QRect(x, 62, 84, 21), CaptionAt::Above, plain, Qt::black,
                                 a.caption, &cap);
        *a.modeOut = modeLabel(GroupBox1, QString::fromLatin1(a.mode), cap, 8, a.caption);
        auto* b = named(new QPushButton(QStringLiteral("..."), GroupBox1),
                        QString::fromLatin1(a.button), QStringLiteral("Список: ") + a.caption);
        b->setFont(plain);
        b->setGeometry(x + 86, 62, 18, 21);
        b->setFocusPolicy(Qt::TabFocus);
        *a.buttonOut = b;
        x += 108;
    }

    LabeledEdit23 = labeledEdit(GroupBox1, QStringLiteral("LabeledEdit23"),
                                QStringLiteral("Почтовый индекс"), QRect(96, 100, 50, 21),
                                CaptionAt::Left, plain, Qt::black, QStringLiteral("Почтовый индекс"));
    LabeledEdit23->setText(search::kIndexPlaceholder);
    LabeledEdit7 = labeledEdit(GroupBox1, QStringLiteral("LabeledEdit7"), QStringLiteral("№ дома"),
                               QRect(196, 100, 54, 21), CaptionAt::Left, plain, Qt::black,
                               QStringLiteral("№ дома"));
    LabeledEdit7->setText(search::kHouse1Placeholder);
    Edit1 = named(new QLineEdit(search::kHouse2Placeholder, GroupBox1), QStringLiteral("Edit1"),
                  QStringLiteral("№дома 2"));
    Edit1->setFont(plain);
    Edit1->setGeometry(254, 100, 54, 21);
    LabeledEdit8 = labeledEdit(GroupBox1, QStringLiteral("LabeledEdit8"), QStringLiteral("№ кв."),
                               QRect(344, 100, 44, 21), CaptionAt::Left, plain, Qt::black,
                               QStringLiteral("№ кв."));
    LabeledEdit8->setText(search::kFlatPlaceholder);

    GroupBox2 = named(new QGroupBox(QStringLiteral("Дополнительная информация"), GroupBox1),
                      QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(446, 12, 195, 115);
    GroupBox2->setFont(pixelFont(11, true));
    GroupBox2->setStyleSheet(QStringLiteral("QGroupBox#GroupBox2::title { color: #008000; }"));

    caption(GroupBox2, QStringLiteral("StaticText1"), QStringLiteral("Дата рождения"), plain)
        ->move(6, 23);
    MaskEdit1 = named(new DateMaskEdit(GroupBox2), QStringLiteral("MaskEdit1"),
                      QStringLiteral("Дата рождения"));
    MaskEdit1->setFont(plain);
    MaskEdit1->setGeometry(100, 20, 86, 21);
    LabeledEdit5 = labeledEdit(GroupBox2, QStringLiteral("LabeledEdit5"),
                               QStringLiteral("Тел. домашний:"), QRect(100, 44, 86, 21),
                               CaptionAt::Left, plain, Qt::black, QStringLiteral("Тел. домашний:"));
    LabeledEdit5->setText(search::kPhonePlaceholder);
    LabeledEdit6 = labeledEdit(GroupBox2, QStringLiteral("LabeledEdit6"),
                               QStringLiteral("Тел. рабочий:"), QRect(100, 68, 86, 21),
                               CaptionAt::Left, plain, Qt::black, QStringLiteral("Тел. рабочий:"));
    LabeledEdit6->setText(search::kPhonePlaceholder);
    caption(GroupBox2, QStringLiteral("StaticText2"), QStringLiteral("Пол:"), pixelFont(11, true),
            kGreen)
        ->move(6, 93);
    CheckBox1 = named(new QCheckBox(QStringLiteral("Ж"), GroupBox2), QStringLiteral("CheckBox1"),
                      QStringLiteral("Ж"));
    CheckBox2 = named(new QCheckBox(QStringLiteral("М"), GroupBox2), QStringLiteral("CheckBox2"),
                      QStringLiteral("М"));
    for (QCheckBox* c : {CheckBox1, CheckBox2}) {
        c->setFont(plain);
        setTextColor(c, Qt::black);
    }
    CheckBox1->setGeometry(100, 92, 40, 17);
    CheckBox2->setGeometry(146, 92, 40, 17);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);

    // Mode labels open the chooser: a double click, the street's a single click.
    const auto chooser = [this](ClickLabel* l) { openModeChooser(l, StaticText6, this); };
    for (ClickLabel* l : {StaticText6, StaticText14, StaticText15, StaticText4, StaticText8,
                          StaticText9})
        connect(l, &ClickLabel::doubleClicked, this, [chooser, l] { chooser(l); });
    connect(StaticText3, &ClickLabel::clicked, this, [chooser, this] { chooser(StaticText3); });

    connect(Button2, &QPushButton::clicked, this, [this] { openPickList(LabeledEdit24, valueLists_.ListRaion, this); });
    connect(Button8, &QPushButton::clicked, this, [this] { openPickList(LabeledEdit25, valueLists_.ListCiti, this); });
    connect(Button9, &QPushButton::clicked, this, [this] { openPickList(LabeledEdit26, valueLists_.ListDerev, this); });
    connect(Button7, &QPushButton::clicked, this, [this] { openPickList(LabeledEdit4, valueLists_.ListStrit, this); });

    setTabOrder(LabeledEdit1, LabeledEdit2);
    setTabOrder(LabeledEdit2, LabeledEdit3);
    setTabOrder(LabeledEdit3, ComboBox1);
    setTabOrder(ComboBox1, ComboBox6);
    setTabOrder(ComboBox6, LabeledEdit24);
    setTabOrder(LabeledEdit24, LabeledEdit25);
    setTabOrder(LabeledEdit25, LabeledEdit26);
    setTabOrder(LabeledEdit26, LabeledEdit4);
    setTabOrder(LabeledEdit4, LabeledEdit23);
    setTabOrder(LabeledEdit23, LabeledEdit7);
    setTabOrder(LabeledEdit7, Edit1);
    setTabOrder(Edit1, LabeledEdit8);
    setTabOrder(LabeledEdit8, MaskEdit1);
    setTabOrder(MaskEdit1, LabeledEdit5);
    setTabOrder(LabeledEdit5, LabeledEdit6);
    setTabOrder(LabeledEdit6, CheckBox1);
    setTabOrder(CheckBox1, CheckBox2);
}

void TForm1::buildResultsPanel()
{
    Panel3 = panel(TabSheet1, QStringLiteral("Panel3"));

    GroupBox5 = named(new QGroupBox(QStringLiteral("Результаты поиска"), Panel3),
                      QStringLiteral("GroupBox5"));
    GroupBox5->setFont(pixelFont(16, false, false, true));
    GroupBox5->setGeometry(4, 2, 490, 66);

    LabeledEdit9 = labeledEdit(GroupBox5, QStringLiteral("LabeledEdit9"),
                               QStringLiteral("Количество найденных записей"),
                               QRect(196, 28, 110, 28), CaptionAt::Left, pixelFont(11, true),
                               kPurple, QStringLiteral("Количество найденных записей"));
    LabeledEdit9->setFont(pixelFont(16, true));
    {
        QPalette p = LabeledEdit9->palette();
        p.setColor(QPalette::Base, kGrey);
        p.setColor(QPalette::Text, kPurple);
        LabeledEdit9->setPalette(p);
    }

    const auto button = [this](QWidget* parent, const QString& name, const QString& text,
                               QStyle::StandardPixmap glyph, const QRect& rect) {
        auto* b = named(new QPushButton(style()->standardIcon(glyph), text, parent), name, text);
        b->setFont(pixelFont(11));
        b->setGeometry(rect);
        b->setAutoDefault(false);
        return b;
    };
    BitBtn4 = button(GroupBox5, QStringLiteral("BitBtn4"), QStringLiteral("Сохранить"),
                     QStyle::SP_DialogSaveButton, QRect(330, 25, 97, 33));
    BitBtn4->hide();
    BitBtn3 = button(Panel3, QStringLiteral("BitBtn3"), QStringLiteral("Помощь!!!"),
                     QStyle::SP_DialogHelpButton, QRect(507, 22, 97, 33));
    BitBtn2 = button(Panel3, QStringLiteral("BitBtn2"), QStringLiteral("Поиск..."),
                     QStyle::SP_DialogOkButton, QRect(608, 22, 97, 33));
    BitBtn1 = button(Panel3, QStringLiteral("BitBtn1"), QStringLiteral("Выход"),
                     QStyle::SP_DialogCloseButton, QRect(709, 22, 97, 33));
    QFont bold = BitBtn2->font();
    bold.setBold(true);
    BitBtn2->setFont(bold); // drawn as the default button

    connect(BitBtn4, &QPushButton::clicked, this, [this] { exportGridWithDialog(this, *grid_); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] {
        openHelp(this, [this](const QString& trail) { banner_->My_Visible(trail); });
    });
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

void TForm1::buildGrid()
{
    StringGrid1 = named(new QTableView(TabSheet1), QStringLiteral("StringGrid1"),
                        QStringLiteral("Результаты поиска"));
    StringGrid1->setModel(grid_.get());
    StringGrid1->setFont(pixelFont(11));
    StringGrid1->horizontalHeader()->setFont(pixelFont(11));
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(24);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGrid1->setShowGrid(true);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTabKeyNavigation(false);
    setTextColor(StringGrid1, Qt::black);

    grid_->setColumnWidth(0, search::kGridFirstColumnWidth);
    applyColumnWidths();
    connect(grid_.get(), &StringGrid::columnWidthChanged, this, [this](int col, int width) {
        applyingWidths_ = true;
        StringGrid1->setColumnWidth(col, width);
        applyingWidths_ = false;
    });
    connect(grid_.get(), &QAbstractItemModel::modelReset, this, &TForm1::applyColumnWidths);
    connect(grid_.get(), &QAbstractItemModel::columnsRemoved, this, &TForm1::applyColumnWidths);
    connect(grid_.get(), &QAbstractItemModel::columnsInserted, this, &TForm1::applyColumnWidths);
    // A column the user drags wider or narrower keeps that width as the grid's own.
    connect(StringGrid1->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int col, int, int width) {
                if (!applyingWidths_)
                    grid_->setColumnWidth(col, width);
            });
}

void TForm1::applyColumnWidths()
{
    applyingWidths_ = true;
    for (int c = 0; c < grid_->gridColumnCount(); ++c)
        StringGrid1->setColumnWidth(c, grid_->columnWidth(c));
    applyingWidths_ = false;
}

void TForm1::layoutPage()
{
    // Panels and grid stretch with the page; everything inside keeps its place.
    const int w = TabSheet1->width();
    const int h = TabSheet1->height();
    Panel1->setGeometry(0, 0, w, 145);
    Panel3->setGeometry(0, 145, w, 72);
    StringGrid1->setGeometry(0, 217, w, std::max(0, h - 217));
}

bool TForm1::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == TabSheet1 && e->type() == QEvent::Resize)
        layoutPage();
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange)
        return;
    // Maximising stretches the window over the screen; back in the normal state the size is
    // fixed again.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    else if (!(windowState() & Qt::WindowMinimized))
        setFixedSize(kClientWidth, kClientHeight);
}

QString TForm1::statusText() const
{
    return statusLabel_->text();
}

void TForm1::setStatusText(const QString& text)
{
    statusLabel_->setText(text);
    StatusBar1->setAccessibleName(text);
}

void TForm1::FormCreate()
{
    loadDialog_ = std::make_unique<TFormLoadData>(*this);
    loadDialog_->exec();
}

void TForm1::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TForm1::FormShow()
{
    banner_->windowShown();
    search::layoutGridHeader(*grid_);
    // Typing goes straight into the surname.
    LabeledEdit1->setFocus(Qt::ActiveWindowFocusReason);
}

search::SearchForm TForm1::searchForm() const
{
    search::SearchForm f;
    f.fam = LabeledEdit1->text();
    f.name = LabeledEdit2->text();
    f.otchest = LabeledEdit3->text();
    f.famMode = StaticText6->text();
    f.nameMode = StaticText14->text();
    f.otchestMode = StaticText15->text();
    f.index = LabeledEdit23->text();
    f.strana = ComboBox1->currentText();
    f.obl = ComboBox6->currentText();
    f.raion = LabeledEdit24->text();
    f.citi = LabeledEdit25->text();
    f.derev = LabeledEdit26->text();
    f.strit = LabeledEdit4->text();
    f.raionMode = StaticText4->text();
    f.citiMode = StaticText8->text();
    f.derevMode = StaticText9->text();
    f.stritMode = StaticText3->text();
    f.house1 = LabeledEdit7->text();
    f.house2 = Edit1->text();
    f.kv = LabeledEdit8->text();
    f.date = MaskEdit1->maskedText();
    f.telH = LabeledEdit5->text();
    f.telR = LabeledEdit6->text();
    f.female = CheckBox1->isChecked();
    f.male = CheckBox2->isChecked();
    return f;
}

QString TForm1::Pole(const QString& column, const QString& mode) const
{
    return search::Pole(searchForm(), column, mode);
}

void TForm1::BitBtn2Click()
{
    // The database is looked for afresh at every search (by default in the current directory).
    ADOQuery1.setConnectionString(databaseConnectionString());

    const QString statement = search::searchStatement(searchForm());
    if (statement.isEmpty()) {
        showMessage(QStringLiteral("Не выбрана информация для поиска !!!"));
        ClearGridRows(*grid_);
        LabeledEdit9->setText(QStringLiteral("0"));
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    try {
        ADOQuery1.close();
        ADOQuery1.clearSql();
        ADOQuery1.addSql(statement.toStdString());
        ADOQuery1.open();
        ADOQuery1.first();
        // Checked before anything is shown, so that count and grid always agree.
        if (ADOQuery1.fieldCount() < search::kTableColumnsNeeded)
            throw engine::EngineError(
                "Таблица FZ_T1 содержит " + std::to_string(ADOQuery1.fieldCount())
                + " столбцов, а для вывода результата нужно не меньше "
                + std::to_string(search::kTableColumnsNeeded) + ".");
        LabeledEdit9->setText(QString::number(ADOQuery1.recordCount()));
        LoadSqlInString();
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    QApplication::restoreOverrideCursor();
    if (!failure.isEmpty())
        showError(failure);
}

void TForm1::LoadSqlInString()
{
    ADOQuery1.first();
    search::fillGridFromResult(*grid_, ADOQuery1.result());
}

void TForm1::ComboBox1DropDown()
{
    ComboBox1->setFont(pixelFont(11, true));
}

void TForm1::ComboBox6DropDown()
{
    ComboBox6->setFont(pixelFont(11, true));
}

void TForm1::CheckBox1Click()
{
    if (CheckBox1->isChecked())
        CheckBox2->setChecked(false);
}

void TForm1::CheckBox2Click()
{
    if (CheckBox2->isChecked())
        CheckBox1->setChecked(false);
}

void TForm1::enterPressed()
{
    // A focused push button takes Enter itself; everywhere else Enter means "Поиск...".
    if (auto* b = qobject_cast<QPushButton*>(QApplication::focusWidget()); b && b != BitBtn2
        && b->window() == this) {
        b->click();
        return;
    }
    BitBtn2Click();
}

void TForm1::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

void TForm1::showError(const QString& text, QWidget* over)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok, over ? over : this);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}
