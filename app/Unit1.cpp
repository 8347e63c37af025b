#include "app/Unit1.h"

#include "app/Controls.h"
#include "app/LoadData.h"
#include "app/ProgramName.h"
#include "app/StartDatabase.h"
#include "app/WebBanner.h"
#include "engine/core/Messages.h"
#include "search/ResultGrid.h"
#include "search/Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent)
    , grid_(std::make_unique<StringGrid>(search::kGridLayoutColumns))
{
    buildWindow();
    FormCreate();
}

TForm1::~TForm1() = default;

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

QString TForm1::statusText() const
{
    return statusLabel_->text();
}

void TForm1::setStatusText(const QString& text)
{
    statusLabel_->setText(text);
    StatusBar1->setAccessibleName(text);
}

bool TForm1::dataLoaded() const
{
    return loadDialog_ && loadDialog_->loaded();
}

void TForm1::FormCreate()
{
    TFormLoadData::Hooks hooks;
    hooks.starting = [this] {
        clearComboItems(ComboBox1);
        clearComboItems(ComboBox6);
    };
    hooks.load.statusText = [this](const QString& text) { setStatusText(text); };
    hooks.load.comboItems = [this](const QString& column, const QStringList& items) {
        appendComboItems(column == QLatin1String("Strana") ? ComboBox1 : ComboBox6, items);
    };
    hooks.showError = [this](const QString& text, QWidget* over) { showError(text, over); };
    loadDialog_ = std::make_unique<TFormLoadData>(ADOQuery1, valueLists_, std::move(hooks));
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
            throw engine::EngineError("Таблица FZ_T1 содержит " +
                                      std::to_string(ADOQuery1.fieldCount()) +
                                      " столбцов, а для вывода результата нужно не меньше " +
                                      std::to_string(search::kTableColumnsNeeded) + ".");
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
    // A result whose store turns out damaged (found while the grid reads it) is taken off the
    // grid, its count with it, and the operator told; the next search makes the store again.
    search::fillGridFromResult(*grid_, ADOQuery1.result(), [this] {
        QTimer::singleShot(0, this, [this] {
            ClearGridRows(*grid_);
            LabeledEdit9->clear();
            showError(QString::fromStdString(engine::msg::storeDamaged()));
        });
    });
}

void TForm1::ComboBox1DropDown()
{
    ComboBox1->setFont(widgets::pixelFont(11, true));
}

void TForm1::ComboBox6DropDown()
{
    ComboBox6->setFont(widgets::pixelFont(11, true));
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
    if (auto* b = qobject_cast<QPushButton*>(QApplication::focusWidget());
        b && b != BitBtn2 && b->window() == this) {
        b->click();
        return;
    }
    BitBtn2Click();
}

void TForm1::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, kProgramName, text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

void TForm1::showError(const QString& text, QWidget* over)
{
    QMessageBox box(QMessageBox::Critical, kProgramName, text, QMessageBox::Ok, over ? over : this);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}
