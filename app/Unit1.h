#pragma once
// The main window: search panel, results panel, result grid, status bar.
#include "app/ValueLists.h"
#include "engine/AdoQuery.h"
#include "search/QueryBuilder.h"
#include "util/StringGrid.h"

#include <QMainWindow>
#include <memory>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTableView;
class QTimer;
class ClickLabel;
class DateMaskEdit;
class DropDownComboBox;
class TFormLoadData;
class WebBanner;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 825;
    static constexpr int kClientHeight = 614;

    // Builds the window and runs FormCreate, which shows the loading dialog modally.
    // When it returns without dataLoaded(), the caller discards the window unshown.
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    engine::AdoQuery ADOQuery1; ///< every search and the load go through it

    // The widgets keep the names the forms gave them (also their object names, which tests
    // and tools look them up by); beside each, what it is.

    QMenuBar* MainMenu1 = nullptr;         // the menu strip
    QLabel* Panel2 = nullptr;              // the web banner
    QTimer* Timer1 = nullptr;              // the banner's timer
    QTabWidget* PageControl1 = nullptr;    // the page tabs
    QWidget* TabSheet1 = nullptr;          // "База физических лиц 2006"
    QFrame* Panel1 = nullptr;              // search panel
    QFrame* Bevel1 = nullptr;              // frame around the three name fields
    QLineEdit* LabeledEdit1 = nullptr;     // surname
    QLineEdit* LabeledEdit2 = nullptr;     // name
    QLineEdit* LabeledEdit3 = nullptr;     // patronymic
    ClickLabel* StaticText6 = nullptr;     // surname match mode
    ClickLabel* StaticText14 = nullptr;    // name match mode
    ClickLabel* StaticText15 = nullptr;    // patronymic match mode
    QGroupBox* GroupBox1 = nullptr;        // "Адрес места жительства:"
    QLineEdit* LabeledEdit23 = nullptr;    // postal code
    DropDownComboBox* ComboBox1 = nullptr; // country
    DropDownComboBox* ComboBox6 = nullptr; // region
    QLineEdit* LabeledEdit24 = nullptr;    // district
    QLineEdit* LabeledEdit25 = nullptr;    // city
    QLineEdit* LabeledEdit26 = nullptr;    // village
    QLineEdit* LabeledEdit4 = nullptr;     // street
    ClickLabel* StaticText4 = nullptr;     // district match mode
    ClickLabel* StaticText8 = nullptr;     // city match mode
    ClickLabel* StaticText9 = nullptr;     // village match mode
    ClickLabel* StaticText3 = nullptr;     // street match mode
    QPushButton* Button2 = nullptr;        // district pick list
    QPushButton* Button8 = nullptr;        // city pick list
    QPushButton* Button9 = nullptr;        // village pick list
    QPushButton* Button7 = nullptr;        // street pick list
    QLineEdit* LabeledEdit7 = nullptr;     // house
    QLineEdit* Edit1 = nullptr;            // additional house number
    QLineEdit* LabeledEdit8 = nullptr;     // flat
    QGroupBox* GroupBox2 = nullptr;        // "Дополнительная информация"
    DateMaskEdit* MaskEdit1 = nullptr;     // birth date
    QLineEdit* LabeledEdit5 = nullptr;     // home telephone
    QLineEdit* LabeledEdit6 = nullptr;     // work telephone
    QCheckBox* CheckBox1 = nullptr;        // "Ж"
    QCheckBox* CheckBox2 = nullptr;        // "М"
    QFrame* Panel3 = nullptr;              // results panel
    QGroupBox* GroupBox5 = nullptr;        // "Результаты поиска"
    QLineEdit* LabeledEdit9 = nullptr;     // count of records found
    QPushButton* BitBtn4 = nullptr;        // "Сохранить"
    QPushButton* BitBtn3 = nullptr;        // "Помощь!!!"
    QPushButton* BitBtn2 = nullptr;        // "Поиск..."
    QPushButton* BitBtn1 = nullptr;        // "Выход"
    QTableView* StringGrid1 = nullptr;     // the result grid
    QStatusBar* StatusBar1 = nullptr;      // the status line

    StringGrid& grid() { return *grid_; }
    const StringGrid& grid() const { return *grid_; }
    TFormLoadData* loadDialog() const { return loadDialog_.get(); }
    // The loading dialog completed a load.
    bool dataLoaded() const;
    // The pick lists' values, as the load left them.
    ValueLists& valueLists() { return valueLists_; }
    const ValueLists& valueLists() const { return valueLists_; }
    // The web banner and the service mode.
    const WebBanner& banner() const { return *banner_; }

    QString statusText() const;
    void setStatusText(const QString& text);

    // The search panel as the query builder reads it.
    search::SearchForm searchForm() const;
    QString Pole(const QString& column, const QString& mode) const;

    void FormCreate();
    void FormShow();
    void BitBtn2Click();
    void LoadSqlInString();
    void ComboBox1DropDown();
    void ComboBox6DropDown();
    void CheckBox1Click();
    void CheckBox2Click();

    // A plain message box; an error message box.
    void showMessage(const QString& text);
    void showError(const QString& text, QWidget* over = nullptr);

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildWindow();
    void buildBanner(); // over the menu strip; needs the save button built
    void buildSearchPanel();
    void buildNameFields();
    void buildAddressBox();
    void buildPlaceFields();
    void buildHouseFields();
    void buildMoreInfoBox();
    void connectSearchPanel();
    void setSearchTabOrder();
    void buildResultsPanel();
    void buildGrid();
    void layoutPage();
    void applyColumnWidths();
    void enterPressed();

    std::unique_ptr<StringGrid> grid_;
    std::unique_ptr<TFormLoadData> loadDialog_;
    ValueLists valueLists_;
    std::unique_ptr<WebBanner> banner_;
    QLabel* statusLabel_ = nullptr;
    bool applyingWidths_ = false;
};
