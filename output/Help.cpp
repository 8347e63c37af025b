#include "output/Help.h"

#include "output/ServiceMode.h"
#include "search/Widgets.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

using namespace widgets;

namespace {

const QString kTitle = QStringLiteral("ПК Информационный справочник г.Ведрогорска v 2.0");
const QString kMakers = QStringLiteral("Группа разработки «Ведрогорск-Софт»");
// Short enough that a banner text (web address, 33 spaces, mail address) fits the banner's
// 638 pixels in bold 19-pixel type, even in the wide DejaVu Sans.
const QString kWeb1 = QStringLiteral("www.vedsoft.test");
const QString kWeb2 = QStringLiteral("www.spravka.test");
const QStringList kMails = {
    QStringLiteral("info@vedsoft.test"),   QStringLiteral("support@vedsoft.test"),
    QStringLiteral("orders@vedsoft.test"), QStringLiteral("info@spravka.test"),
    QStringLiteral("help@spravka.test"),   QStringLiteral("office@spravka.test"),
};

UrlOpener& urlOpener()
{
    static UrlOpener opener;
    return opener;
}

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geo)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(geo);
    return l;
}

QLineEdit* makeAddress(QWidget* parent, const char* name, const QString& text, const QRect& geo,
                       const QString& accessible)
{
    auto* e = named(new QLineEdit(text, parent), QString::fromLatin1(name), accessible);
    e->setReadOnly(true);
    QPalette pal = e->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    e->setPalette(pal);
    e->setGeometry(geo);
    return e;
}

QPlainTextEdit* makeMemo(QWidget* parent, const char* name, const QStringList& lines,
                         const QString& accessible)
{
    auto* m = named(new QPlainTextEdit(parent), QString::fromLatin1(name), accessible);
    m->setPlainText(lines.join(QLatin1Char('\n')));
    m->setReadOnly(true);
    return m;
}

// A small picture of our own: an open directory book under a magnifying glass.
QPixmap drawPicture()
{
    QPixmap pm(128, 128);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kNavy, 2));
    p.setBrush(QColor(0xFF, 0xFF, 0xF0));
    // The two pages, mirror images about the spine at x = 64; the left one first.
    for (const int side : {-1, 1}) {
        QPainterPath page;
        page.moveTo(64, 30);
        page.cubicTo(64 + 16 * side, 22, 64 + 38 * side, 22, 64 + 54 * side, 28);
        page.lineTo(64 + 54 * side, 100);
        page.cubicTo(64 + 38 * side, 94, 64 + 16 * side, 94, 64, 102);
        page.closeSubpath();
        p.drawPath(page);
    }
    p.setPen(QPen(kGrey, 1));
    for (int y = 40; y <= 84; y += 8) {
        p.drawLine(18, y, 56, y + 2);
        p.drawLine(72, y + 2, 110, y);
    }
    p.setPen(QPen(kRed, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(96, 96, 118, 118);
    p.setPen(QPen(kRed, 4));
    p.setBrush(QColor(0xA6, 0xCA, 0xF0, 120));
    p.drawEllipse(QPoint(82, 82), 18, 18);
    return pm;
}

} // namespace

QStringList memo2Lines()
{
    return {
        QStringLiteral("Справочник по г.Ведрогорска. "),
        QString(),
        QStringLiteral("Справочник предназначен только для режима поиска и просмотра "),
        QStringLiteral("результата поиска по «Ф.И.О.»"),
        QString(),
        QStringLiteral("Результатами поиска является: фамилия, имя, отчество, адрес "),
        QStringLiteral("места жительства физического лица, дата рождения, телефон по "),
        QStringLiteral("месту жительства, рабочий телефон."),
        QString(),
        QStringLiteral("Все права на программу принадлежат её разработчикам: "),
        QStringLiteral("группе разработки «Ведрогорск-Софт». "),
        QString(),
        QStringLiteral(" "),
        QStringLiteral(" "),
        QString(),
    };
}

QStringList memo6Lines()
{
    return {
        QStringLiteral("Для поиска физического лица по «Фамилия» пишите Фамилию того, "),
        QStringLiteral("кого вы хотите найти. Чтобы упростить поиск Вы можете нажать на "),
        QStringLiteral("кнопку напротив «Фамилия» - «точнее». У вас для выбора появятся "),
        QStringLiteral("«точное совпадение», «в любом месте», «совпадение слева», "),
        QStringLiteral("«совпадение справа». Лучше всего выбирайте «в любом месте». Это "),
        QStringLiteral("увеличит число результата поиска."),
        QString(),
        QStringLiteral("Если вы не уверены, как пишется фамилия (например, услышали её по "),
        QStringLiteral("телефону), выберите «похожее написание». Тогда найдутся и те, чьи "),
        QStringLiteral("фамилии звучат похоже; первыми в списке будут самые близкие к "),
        QStringLiteral("написанному."),
        QString(),
        QStringLiteral("Аналогично поиску по «Фамилия» вы можете задать условия поиска "),
        QStringLiteral("по:"),
        QStringLiteral("- имени;"),
        QStringLiteral("- отчеству;"),
        QStringLiteral("- городу;"),
        QStringLiteral("- улице,"),
        QStringLiteral("- номеру дома;"),
        QStringLiteral("- номеру квартиры;"),
        QStringLiteral("- дате рождения,"),
        QStringLiteral("- телефону домашнему,"),
        QStringLiteral("- телефону рабочему;"),
        QStringLiteral("- пол (м/ж);"),
        QString(),
        QStringLiteral("Все эти условия можно нажимать и в совокупности. Это ограничит "),
        QStringLiteral("выборку и количество найденных объектов."),
        QString(),
        QStringLiteral("Удачной работы!"),
    };
}

QString bannerText1()
{
    return kWeb1 + QString(33, QLatin1Char(' ')) + kMails.first();
}

QString bannerText2()
{
    return kWeb2 + QString(33, QLatin1Char(' ')) + kMails.first();
}

void setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

void openWebAddress(const QString& address)
{
    if (address.isEmpty())
        return;
    if (urlOpener()) {
        urlOpener()(address);
        return;
    }
    // The outcome is not reported: with no browser there is nothing to do about it.
    QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

TFormHelp::TFormHelp(ServiceSwitch switchServiceMode, QWidget* parent)
    : QDialog(parent)
    , switchServiceMode_(std::move(switchServiceMode))
{
    const QString caption = QLatin1Char('"') + kTitle + QLatin1Char('"');
    setObjectName(QStringLiteral("FormHelp"));
    setWindowTitle(caption);
    setAccessibleName(caption);
    setWindowFlags(dialogFlags(true));
    setFixedSize(712, 580);
    paintBackground(this, kAqua);

    PageControl1 = named(new QTabWidget(this), QStringLiteral("PageControl1"),
                         QStringLiteral("Страницы справки"));
    PageControl1->setDocumentMode(true); // flat tabs
    PageControl1->setGeometry(0, 0, 712, 580);

    buildAboutPage(caption);
    buildContactPage();
    PageControl1->addTab(TabSheet1, QStringLiteral("О программе..."));
    PageControl1->addTab(TabSheet2, QStringLiteral("Как с нами связаться ?"));
    PageControl1->setCurrentWidget(TabSheet2);

    Edit2->installEventFilter(this);
    Edit14->installEventFilter(this);

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TFormHelp::Timer1Timer);
    Timer1->start();
}

void TFormHelp::buildAboutPage(const QString& caption)
{
    TabSheet1 = named(new QWidget, QStringLiteral("TabSheet1"), QStringLiteral("О программе..."));
    paintBackground(TabSheet1, kAqua);

    auto* makers =
        named(makeLabel(TabSheet1, kMakers, QRect(8, 4, 690, 18)), QStringLiteral("Label1"));
    makers->setFont(pixelFont(font(), 13, true));
    auto* title =
        named(makeLabel(TabSheet1, caption, QRect(8, 22, 690, 24)), QStringLiteral("Label2"));
    title->setFont(pixelFont(font(), 16, true));
    setTextColor(title, kNavy);

    Memo2 = makeMemo(TabSheet1, "Memo2", memo2Lines(), QStringLiteral("О программе"));
    Memo2->setGeometry(8, 50, 601, 257);
    Memo2->setFont(pixelFont(font(), 13, true));
    paintBackground(Memo2, kSkyBlue);
    // Read-only, but it still takes the focus and every key press (the key trail).
    Memo2->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo2->setFocusPolicy(Qt::StrongFocus);
    Memo2->installEventFilter(this);

    const QString controls = QStringLiteral("Кнопки и элементы управление программой");
    auto* heading = named(makeLabel(TabSheet1, controls + QLatin1Char(':'), QRect(8, 314, 690, 22)),
                          QStringLiteral("Label3"));
    heading->setFont(pixelFont(font(), 16, true));
    setTextColor(heading, kRed);

    Memo6 = makeMemo(TabSheet1, "Memo6", memo6Lines(), controls);
    Memo6->setGeometry(8, 340, 690, 200);
    Memo6->setFrameShape(QFrame::NoFrame);
    Memo6->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    paintBackground(Memo6, kAqua);
}

void TFormHelp::buildContactPage()
{
    TabSheet2 =
        named(new QWidget, QStringLiteral("TabSheet2"), QStringLiteral("Как с нами связаться ?"));
    paintBackground(TabSheet2, kAqua);

    auto* panel = named(new QFrame(TabSheet2), QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::Panel);
    panel->setGeometry(8, 8, 420, 300);
    paintBackground(panel, kGreen);

    auto* site = makeLabel(panel, QStringLiteral("Наш сайт:"), QRect(10, 8, 200, 20));
    site->setFont(pixelFont(font(), 13, true));
    setTextColor(site, Qt::white);
    Edit2 =
        makeAddress(panel, "Edit2", kWeb1, QRect(10, 30, 400, 22), QStringLiteral("Наш сайт 1"));
    Edit14 =
        makeAddress(panel, "Edit14", kWeb2, QRect(10, 56, 400, 22), QStringLiteral("Наш сайт 2"));
    auto* mails = makeLabel(panel, QStringLiteral("Наши е-майлы:"), QRect(10, 88, 200, 20));
    mails->setFont(pixelFont(font(), 13, true));
    setTextColor(mails, Qt::white);
    for (int i = 0; i < kMails.size(); ++i) {
        const QByteArray name = "Edit" + QByteArray::number(3 + i);
        mailEdits.append(makeAddress(panel, name.constData(), kMails.at(i),
                                     QRect(10, 110 + 30 * i, 400, 22),
                                     QStringLiteral("Е-майл %1").arg(i + 1)));
    }

    Image1 = named(new QLabel(TabSheet2), QStringLiteral("Image1"), QStringLiteral("Эмблема"));
    Image1->setGeometry(500, 60, 128, 128);
    Image1->setPixmap(drawPicture());

    StaticText15 =
        named(makeLabel(TabSheet2, QStringLiteral("Работа на заказ"), QRect(8, 316, 690, 84)),
              QStringLiteral("StaticText15"));
    StaticText15->setFont(pixelFont(font(), 67, true));
    StaticText15->setAlignment(Qt::AlignCenter);
    setTextColor(StaticText15, kRed);

    Memo1 =
        makeMemo(TabSheet2, "Memo1",
                 {QStringLiteral("Мы пишем программы под ваши задачи: справочники, учёт, поиск "),
                  QStringLiteral("и обработка данных, отчёты. Напишите нам, что вам нужно, и мы "),
                  QStringLiteral("предложим решение и сроки.")},
                 QStringLiteral("Работа на заказ"));
    Memo1->setGeometry(8, 408, 690, 130);
    Memo1->setFont(pixelFont(font(), 13, true));
    paintBackground(Memo1, kAqua);
}

void TFormHelp::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        KeyTrail.clear();
}

void TFormHelp::Memo2KeyPress(int code)
{
    const TrailStep step = keyTrailStep(KeyTrail, code);
    switch (step.action) {
    case TrailAction::Close: reject(); break;
    case TrailAction::SwitchAndClose:
        if (switchServiceMode_)
            switchServiceMode_(step.switchTrail);
        reject();
        break;
    case TrailAction::None: break;
    }
}

void TFormHelp::Timer1Timer()
{
    StaticText15->setVisible(StaticText15->isHidden());
}

void TFormHelp::Edit2Click()
{
    openWebAddress(Edit2->text().trimmed());
}

void TFormHelp::Edit14Click()
{
    openWebAddress(Edit14->text().trimmed());
}

bool TFormHelp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Memo2 && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        const int code = keyPressCode(k->key(), k->modifiers(), k->text());
        if (code >= 0)
            Memo2KeyPress(code);
        // Escape and Enter are fully handled here; other keys still move the caret.
        if (code == 27 || code == 13)
            return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::LeftButton) {
            if (watched == Edit2)
                Edit2Click();
            else if (watched == Edit14)
                Edit14Click();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormHelp::keyPressEvent(QKeyEvent* e)
{
    // Escape closes the window from whichever control has the focus (the About text takes it
    // first, for its key trail).
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        reject();
        return;
    }
    QDialog::keyPressEvent(e);
}

void openHelp(QWidget* mainWindow, ServiceSwitch switchServiceMode)
{
    auto* dlg = new TFormHelp(std::move(switchServiceMode), mainWindow);
    dlg->move(338, 226);
    execThenDelete(dlg);
}
