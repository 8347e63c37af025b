// Building the main window's widgets: search panel, results panel, grid, banner, status bar.
#include "app/AccessibleFactory.h"
#include "app/Controls.h"
#include "app/GroupBoxAccessible.h"
#include "app/ModeCaption.h"
#include "app/Unit1.h"
#include "app/WebBanner.h"
#include "output/CsvExport.h"
#include "output/Help.h"
#include "search/GridActions.h"
#include "search/ResultGrid.h"
#include "search/Street.h"
#include "search/VabFinde.h"
#include "search/Widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <iterator>

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
    QLabel* l =
        caption(parent, name + QStringLiteral("Label"), captionText, captionFont, captionColor);
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

void TForm1::buildWindow()
{
    setObjectName(QStringLiteral("Form1"));
    // Group boxes read by their own captions, an inner one not by the outer one's.
    installAccessibleFactory<QGroupBox, GroupBoxAccessible>();
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setFont(pixelFont(11));
    // 825 x 614 at the least. Maximising must stretch the window, and window managers (X11's
    // and Wayland's alike) offer maximising only to a window that may change its size, so a
    // dragged border resizes it too: the page stretches the same way.
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
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

    buildBanner();

    // "Поиск..." is the default button: Enter searches from any field.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* s = new QShortcut(QKeySequence(key), this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, &TForm1::enterPressed);
    }
}

void TForm1::buildBanner()
{
    // The banner lies over the menu strip and the top of the page area.
    Panel2 = named(new ClickLabel(bannerText1(), this), QStringLiteral("Panel2"));
    Panel2->setGeometry(184, 8, 638, 41);
    Panel2->setAlignment(Qt::AlignCenter);
    paintBackground(Panel2, kSkyBlue);
    setTextColor(Panel2, kRed);
    Panel2->setFont(pixelFont(19, true));
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel2->setCursor(Qt::PointingHandCursor);
    Panel2->hide();
    Panel2->raise();
    connect(static_cast<ClickLabel*>(Panel2), &ClickLabel::clicked, this,
            [this] { banner_->click(); });

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, [this] { banner_->step(); });
    banner_ = std::make_unique<WebBanner>(Panel2, Timer1, BitBtn4);
    Timer1->start();
}

void TForm1::buildSearchPanel()
{
    Panel1 = panel(TabSheet1, QStringLiteral("Panel1"));
    buildNameFields();
    buildAddressBox();
    buildMoreInfoBox();
    connectSearchPanel();
    setSearchTabOrder();
}

void TForm1::buildNameFields()
{
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
        {"LabeledEdit3", "StaticText15", QStringLiteral("Отчество"), 8, &LabeledEdit3,
         &StaticText15},
    };
    int y = 25;
    for (const auto& n : names) {
        QLabel* cap = nullptr;
        *n.editOut =
            labeledEdit(Panel1, QString::fromLatin1(n.edit), n.caption, QRect(16, y, 129, 21),
                        CaptionAt::Above, nameCaption, kNavy, n.caption, &cap);
        *n.modeOut = modeLabel(Panel1, QString::fromLatin1(n.mode), cap, n.px, n.caption);
        y += 44;
    }
}

void TForm1::buildAddressBox()
{
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

    buildPlaceFields();
    buildHouseFields();
}

void TForm1::buildPlaceFields()
{
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
        *a.editOut =
            labeledEdit(GroupBox1, QString::fromLatin1(a.edit), a.caption, QRect(x, 62, 84, 21),
                        CaptionAt::Above, plain, Qt::black, a.caption, &cap);
        *a.modeOut = modeLabel(GroupBox1, QString::fromLatin1(a.mode), cap, 8, a.caption);
        auto* b = named(new QPushButton(QStringLiteral("..."), GroupBox1),
                        QString::fromLatin1(a.button), QStringLiteral("Список: ") + a.caption);
        b->setFont(plain);
        b->setGeometry(x + 86, 62, 18, 21);
        b->setFocusPolicy(Qt::TabFocus);
        *a.buttonOut = b;
        x += 108;
    }
}

void TForm1::buildHouseFields()
{
    const QFont plain = pixelFont(11);
    LabeledEdit23 =
        labeledEdit(GroupBox1, QStringLiteral("LabeledEdit23"), QStringLiteral("Почтовый индекс"),
                    QRect(96, 100, 50, 21), CaptionAt::Left, plain, Qt::black,
                    QStringLiteral("Почтовый индекс"));
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
}

void TForm1::buildMoreInfoBox()
{
    const QFont plain = pixelFont(11);
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
}

void TForm1::connectSearchPanel()
{
    // Mode labels open the chooser: a double click, the street's a single click.
    const auto chooser = [this](ClickLabel* l) { openModeChooser(l, StaticText6, this); };
    for (ClickLabel* l :
         {StaticText6, StaticText14, StaticText15, StaticText4, StaticText8, StaticText9})
        connect(l, &ClickLabel::doubleClicked, this, [chooser, l] { chooser(l); });
    connect(StaticText3, &ClickLabel::clicked, this, [chooser, this] { chooser(StaticText3); });
    // Without a mouse: F4 in the field, or the label's action for a screen reader. The labels
    // stay out of the Tab order.
    const std::pair<QLineEdit*, ClickLabel*> modeFields[] = {
        {LabeledEdit1, StaticText6},  {LabeledEdit2, StaticText14}, {LabeledEdit3, StaticText15},
        {LabeledEdit24, StaticText4}, {LabeledEdit25, StaticText8}, {LabeledEdit26, StaticText9},
        {LabeledEdit4, StaticText3}};
    for (const auto& [field, label] : modeFields) {
        auto* f4 =
            new QShortcut(QKeySequence(Qt::Key_F4), field, nullptr, nullptr, Qt::WidgetShortcut);
        connect(f4, &QShortcut::activated, this, [chooser, l = label] { chooser(l); });
        field->setAccessibleDescription(QStringLiteral("F4: выбор режима поиска"));
        connect(static_cast<ModeCaption*>(label), &ModeCaption::chooserRequested, this,
                [chooser, l = label] { chooser(l); });
    }

    connect(Button2, &QPushButton::clicked, this,
            [this] { openPickList(LabeledEdit24, valueLists_.ListRaion, this); });
    connect(Button8, &QPushButton::clicked, this,
            [this] { openPickList(LabeledEdit25, valueLists_.ListCiti, this); });
    connect(Button9, &QPushButton::clicked, this,
            [this] { openPickList(LabeledEdit26, valueLists_.ListDerev, this); });
    connect(Button7, &QPushButton::clicked, this,
            [this] { openPickList(LabeledEdit4, valueLists_.ListStrit, this); });
}

void TForm1::setSearchTabOrder()
{
    // Down the names, along the address, then the additional information.
    QWidget* const order[] = {
        LabeledEdit1,  LabeledEdit2,  LabeledEdit3, ComboBox1,     ComboBox6,    LabeledEdit24,
        LabeledEdit25, LabeledEdit26, LabeledEdit4, LabeledEdit23, LabeledEdit7, Edit1,
        LabeledEdit8,  MaskEdit1,     LabeledEdit5, LabeledEdit6,  CheckBox1,    CheckBox2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
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
    search::attachGridActions(*StringGrid1, *grid_);
}
