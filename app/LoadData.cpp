#include "app/LoadData.h"

#include "app/Controls.h"
#include "app/StartDatabase.h"
#include "search/Widgets.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <utility>

TFormLoadData::TFormLoadData(engine::AdoQuery& query, ValueLists& lists, Hooks hooks,
                             QWidget* parent)
    : QDialog(parent)
    , query_(query)
    , lists_(lists)
    , hooks_(std::move(hooks))
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
    appendComboItems(box, DatabaseLoad(query_, {}).distinctValues(column));
}

void TFormLoadData::SpeedButton1Click()
{
    if (loading_)
        return;
    loading_ = true;

    // A load after a failed one starts afresh rather than appending to what that one added.
    if (hooks_.starting)
        hooks_.starting();
    lists_ = {};

    DatabaseLoad::Hooks hooks = hooks_.load;
    hooks.progress = [this](int value) {
        ProgressBar1->setValue(value);
        if (value >= 15)
            QCoreApplication::processEvents();
    };
    // A first open imports the file, which takes a while on a big one: the bar moves
    // below the first step meanwhile and the dialog keeps answering.
    query_.setProgress([this](std::int64_t done, std::int64_t total) {
        if (total > 0 && done >= 0)
            ProgressBar1->setValue(int(std::min<std::int64_t>(14, 14 * done / total)));
        QCoreApplication::processEvents();
    });

    QString failure;
    try {
        DatabaseLoad(query_, hooks).run(databaseConnectionString(), lists_);
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    query_.setProgress({});
    loading_ = false;
    if (!failure.isEmpty()) {
        // The dialog stays open with its bar where the load stopped; "ОК" may be pressed again.
        if (hooks_.showError)
            hooks_.showError(failure, this);
        return;
    }
    accept();
    DataLoaded = true;
}
