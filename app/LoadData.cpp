#include "app/LoadData.h"

#include "app/Controls.h"
#include "app/StartDatabase.h"
#include "app/Unit1.h"
#include "search/Widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

// ---- the load steps ----

DatabaseLoad::DatabaseLoad(engine::AdoQuery& query, Hooks hooks)
    : q_(query)
    , hooks_(std::move(hooks))
{
}

void DatabaseLoad::runStatement(const QString& statement)
{
    q_.close();
    q_.clearSql();
    q_.addSql(statement.toStdString());
    q_.open();
}

void DatabaseLoad::progress(int value)
{
    if (hooks_.progress)
        hooks_.progress(value);
}

QStringList DatabaseLoad::distinctValues(const QString& column)
{
    runStatement(QStringLiteral("SELECT Distinct(") + column + QStringLiteral(") FROM FZ_T1"));
    q_.first();
    QStringList values;
    while (!q_.eof()) {
        values.append(QString::fromStdString(q_.fieldAsString(0)));
        q_.next();
    }
    return values;
}

void DatabaseLoad::run(const std::string& connectionString, ValueLists& lists)
{
    progress(0);
    q_.setConnectionString(connectionString);

    runStatement(QStringLiteral("SELECT Count(*) FROM FZ_T1"));
    const QString count = QString::fromStdString(q_.fieldAsString(0));
    if (hooks_.statusText)
        hooks_.statusText(QStringLiteral("Количество данных в базе ") + count);

    progress(15);
    for (const QString& column : {QStringLiteral("Strana"), QStringLiteral("Obl")}) {
        const QStringList items = distinctValues(column);
        if (hooks_.comboItems)
            hooks_.comboItems(column, items);
        progress(column == QLatin1String("Strana") ? 30 : 45);
    }

    const struct {
        const char* column;
        QStringList* list;
        int progressAfter;
    } steps[] = {{"Raion", &lists.ListRaion, 60},
                 {"Citi", &lists.ListCiti, 75},
                 {"Derev", &lists.ListDerev, 90},
                 {"strit", &lists.ListStrit, 100}};
    for (const auto& step : steps) {
        step.list->clear();
        *step.list = distinctValues(QString::fromLatin1(step.column));
        progress(step.progressAfter);
    }

    q_.close();
    q_.setConnectionString(std::string());
}

// ---- the dialog ----

namespace {

void appendItems(QComboBox* box, const QStringList& items)
{
    // Adding items must not replace the box's own text.
    const QString text = box->currentText();
    const QSignalBlocker block(box);
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

} // namespace

TFormLoadData::TFormLoadData(TForm1& mainForm, QWidget* parent)
    : QDialog(parent)
    , form_(mainForm)
{
    setObjectName(QStringLiteral("FormLoadData"));
    setWindowTitle(QStringLiteral("Загрузка базы"));
    setWindowFlags(widgets::dialogFlags());
    setFixedSize(428, 115);
    move(438, 434);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0xFF, 0x00));
    setPalette(pal);

    SpeedButton1 = widgets::flatButton(this, QStringLiteral("SpeedButton1"), QStringLiteral("ОК"),
                                       QRect(291, 8, 129, 45));
    SpeedButton1->setFont(widgets::pixelFont(SpeedButton1->font(), 33, true));
    SpeedButton1->setStyleSheet(QStringLiteral("QPushButton { color: #FF0000; }"));
    connect(SpeedButton1, &QPushButton::clicked, this, &TFormLoadData::SpeedButton1Click);

    ProgressBar1 = widgets::named(new QProgressBar(this), QStringLiteral("ProgressBar1"),
                                  QStringLiteral("Ход загрузки"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setGeometry(9, 74, 409, 33);
}

void TFormLoadData::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        ProgressBar1->setValue(0);
}

void TFormLoadData::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: SpeedButton1Click(); return;
    case Qt::Key_Escape: return; // no cancel button here
    default: QDialog::keyPressEvent(e);
    }
}

void TFormLoadData::closeEvent(QCloseEvent* e)
{
    // A running load cannot be abandoned half-way: it stops on its own or fails.
    if (loading_)
        e->ignore();
    else
        QDialog::closeEvent(e);
}

void TFormLoadData::LoadComboBox(QComboBox* box, const QString& column)
{
    DatabaseLoad load(form_.ADOQuery1, {});
    appendItems(box, load.distinctValues(column));
}

void TFormLoadData::SpeedButton1Click()
{
    if (loading_)
        return;
    loading_ = true;

    // A load after a failed one starts afresh rather than appending to what that one added.
    for (QComboBox* box :
         {static_cast<QComboBox*>(form_.ComboBox1), static_cast<QComboBox*>(form_.ComboBox6)}) {
        const QString text = box->currentText();
        const QSignalBlocker block(box);
        box->clear();
        box->setEditText(text);
    }
    form_.valueLists() = {};

    DatabaseLoad::Hooks hooks;
    hooks.statusText = [this](const QString& text) { form_.setStatusText(text); };
    hooks.progress = [this](int value) {
        ProgressBar1->setValue(value);
        if (value >= 15)
            QCoreApplication::processEvents();
    };
    hooks.comboItems = [this](const QString& column, const QStringList& items) {
        appendItems(column == QLatin1String("Strana") ? form_.ComboBox1 : form_.ComboBox6, items);
    };
    // A first open imports the file, which takes a while on a big one: the bar moves
    // below the first step meanwhile and the dialog keeps answering.
    form_.ADOQuery1.setProgress([this](std::int64_t done, std::int64_t total) {
        if (total > 0 && done >= 0)
            ProgressBar1->setValue(int(std::min<std::int64_t>(14, 14 * done / total)));
        QCoreApplication::processEvents();
    });

    QString failure;
    try {
        DatabaseLoad(form_.ADOQuery1, hooks).run(databaseConnectionString(), form_.valueLists());
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    form_.ADOQuery1.setProgress({});
    loading_ = false;
    if (!failure.isEmpty()) {
        // The dialog stays open with its bar where the load stopped; "ОК" may be pressed again.
        form_.showError(failure, this);
        return;
    }
    accept();
    DataLoaded = true;
}
