#pragma once
// Turns the search panel's fields into one statement over FZ_T1. The panel is read into a
// SearchForm (the texts as the controls hold them, the mode labels' captions, the sex boxes);
// everything else is plain text work.
#include <QString>

namespace search {

// Mode captions as the mode labels show them.
inline const QString kModeExact = QStringLiteral("точное");
inline const QString kModePrefix = QStringLiteral("с лева");
inline const QString kModeAnywhere = QStringLiteral("любое");
inline const QString kModeSuffix = QStringLiteral("с права");
// The value may be misheard (the engine's SIMILAR): for names taken over the telephone.
inline const QString kModeSimilar = QStringLiteral("похожее");
// The mode argument of fields that have no mode.
inline const QString kNoMode = QStringLiteral("nul");

// The texts the fields hold at start.
inline const QString kIndexPlaceholder = QStringLiteral("Индекс");
inline const QString kCountryPlaceholder = QStringLiteral("Страна");
inline const QString kRegionPlaceholder = QStringLiteral("Область");
inline const QString kHouse1Placeholder = QStringLiteral("№дома 1");
inline const QString kHouse2Placeholder = QStringLiteral("№дома 2");
inline const QString kFlatPlaceholder = QStringLiteral("№ кв.");
inline const QString kPhonePlaceholder = QStringLiteral("XXXXXXXXXX");
inline const QString kEmptyDate = QStringLiteral("  .  .    ");

struct SearchForm {
    QString fam, name, otchest;                 // LabeledEdit1..3
    QString famMode = kModeExact, nameMode = kModeExact, otchestMode = kModeExact;
    QString index = kIndexPlaceholder;          // LabeledEdit23
    QString strana = kCountryPlaceholder;       // ComboBox1
    QString obl = kRegionPlaceholder;           // ComboBox6
    QString raion, citi, derev, strit;          // LabeledEdit24, 25, 26, 4
    QString raionMode = kModeExact, citiMode = kModeExact, derevMode = kModeExact,
            stritMode = kModeExact;
    QString house1 = kHouse1Placeholder;        // LabeledEdit7
    QString house2 = kHouse2Placeholder;        // Edit1
    QString kv = kFlatPlaceholder;              // LabeledEdit8
    QString date = kEmptyDate;                  // MaskEdit1, blanks as spaces
    QString telH = kPhonePlaceholder;           // LabeledEdit5
    QString telR = kPhonePlaceholder;           // LabeledEdit6
    bool female = false;                        // CheckBox1 "Ж"
    bool male = false;                          // CheckBox2 "М"
};

// A string literal of the Jet dialect: the text between double quotes, a double quote
// inside it doubled.
QString jetLiteral(const QString& value);

// The condition one field adds for column (FAM, NAME, OTCHEST, IndexFZ, STRANA, OBL, RAION,
// CITI, DEREV, STRIT, DATA_r, TEL_h, TEL_r) in the given mode; "" when the field's own check
// fails, the mode is none of the five captions, or the column is not one of these.
QString Pole(const SearchForm& form, const QString& column, const QString& mode);

// The conditions of every filled field in their fixed order, as they follow "WHERE": each
// joined by " AND ", the whole beginning with one space. "" when no field is filled.
QString whereText(const SearchForm& form);

// "SELECT * FROM FZ_T1 WHERE" + whereText, or "" when no field is filled.
QString searchStatement(const SearchForm& form);

} // namespace search
