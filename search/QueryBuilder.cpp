#include "search/QueryBuilder.h"

#include "util/PersonTable.h"
#include "util/Strings.h"

namespace search {

QString jetLiteral(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : value) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

namespace {

namespace person = fz::person;

QString columnText(person::Column c)
{
    const std::string_view name = person::columnName(c);
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

QString equality(const QString& column, const QString& value)
{
    return column + QLatin1Char('=') + jetLiteral(value);
}

// The match modes: equality, LIKE with the wildcard where the mode puts it, or SIMILAR
// (where a "%" is a letter like any other).
QString matched(const QString& column, const QString& value, const QString& mode)
{
    if (mode == kModeExact)
        return equality(column, value);
    if (mode == kModePrefix)
        return column + QStringLiteral(" LIKE ") + jetLiteral(value + QLatin1Char('%'));
    if (mode == kModeSuffix)
        return column + QStringLiteral(" LIKE ") + jetLiteral(QLatin1Char('%') + value);
    if (mode == kModeAnywhere)
        return column + QStringLiteral(" LIKE ")
             + jetLiteral(QLatin1Char('%') + value + QLatin1Char('%'));
    if (mode == kModeSimilar)
        return column + QStringLiteral(" SIMILAR ") + jetLiteral(value);
    return {};
}

} // namespace

QString Pole(const SearchForm& f, const QString& column, const QString& mode)
{
    using fz::LowerCase;
    using fz::Trim;
    if (column == columnText(person::FAM))
        return matched(column, LowerCase(Trim(f.fam)), mode);
    if (column == columnText(person::NAME))
        return matched(column, LowerCase(Trim(f.name)), mode);
    if (column == columnText(person::OTCHEST))
        return matched(column, LowerCase(Trim(f.otchest)), mode);
    if (column == columnText(person::IndexFZ))
        return f.index != kIndexPlaceholder ? equality(column, Trim(f.index)) : QString();
    if (column == columnText(person::STRANA))
        return f.strana != kCountryPlaceholder ? equality(column, Trim(f.strana)) : QString();
    if (column == columnText(person::OBL))
        return f.obl != kRegionPlaceholder ? equality(column, Trim(f.obl)) : QString();
    if (column == columnText(person::RAION))
        return matched(column, Trim(f.raion), mode);
    if (column == columnText(person::CITI))
        return matched(column, Trim(f.citi), mode);
    if (column == columnText(person::DEREV))
        return matched(column, Trim(f.derev), mode);
    if (column == columnText(person::STRIT))
        return matched(column, Trim(f.strit), mode);
    if (column == columnText(person::DATA_r))
        return !f.date.isEmpty() ? equality(column, Trim(f.date)) : QString();
    if (column == columnText(person::TEL_h))
        return equality(column, Trim(f.telH));
    if (column == columnText(person::TEL_r))
        return equality(column, Trim(f.telR));
    return {};
}

QString whereText(const SearchForm& f)
{
    using fz::Trim;
    QString where;
    const auto add = [&where](const QString& condition) {
        where += QStringLiteral(" AND ") + condition;
    };

    if (!Trim(f.fam).isEmpty())
        add(Pole(f, columnText(person::FAM), f.famMode));
    if (!Trim(f.name).isEmpty())
        add(Pole(f, columnText(person::NAME), f.nameMode));
    if (!Trim(f.otchest).isEmpty())
        add(Pole(f, columnText(person::OTCHEST), f.otchestMode));
    if (const QString t = Trim(f.index); !t.isEmpty() && t != kIndexPlaceholder)
        add(Pole(f, columnText(person::IndexFZ), kNoMode));
    if (!Trim(f.strana).isEmpty()) {
        if (const QString c = Pole(f, columnText(person::STRANA), kNoMode); !c.isEmpty())
            add(c);
    }
    if (!Trim(f.obl).isEmpty()) {
        if (const QString c = Pole(f, columnText(person::OBL), kNoMode); !c.isEmpty())
            add(c);
    }
    if (!Trim(f.raion).isEmpty())
        add(Pole(f, columnText(person::RAION), f.raionMode));
    if (!Trim(f.citi).isEmpty())
        add(Pole(f, columnText(person::CITI), f.citiMode));
    if (!Trim(f.derev).isEmpty())
        add(Pole(f, columnText(person::DEREV), f.derevMode));
    if (!Trim(f.strit).isEmpty())
        add(Pole(f, columnText(person::STRIT), f.stritMode));
    // House numbers go out as typed, surrounding spaces included.
    if (!Trim(f.house1).isEmpty() && f.house1 != kHouse1Placeholder)
        add(equality(columnText(person::N_HOUSE1), f.house1));
    if (!Trim(f.house2).isEmpty() && f.house2 != kHouse2Placeholder)
        add(equality(columnText(person::N_HOUSE2), f.house2));
    if (const QString t = Trim(f.kv); !t.isEmpty() && t != kFlatPlaceholder)
        add(equality(columnText(person::N_kv), f.kv));
    if (const QString t = Trim(f.date); t != QLatin1String(".  .") && !t.isEmpty()) {
        if (const QString c = Pole(f, columnText(person::DATA_r), kNoMode); !c.isEmpty())
            add(c);
    }
    if (const QString t = Trim(f.telH); !t.isEmpty() && t != kPhonePlaceholder)
        add(Pole(f, columnText(person::TEL_h), kNoMode));
    if (const QString t = Trim(f.telR); !t.isEmpty() && t != kPhonePlaceholder)
        add(Pole(f, columnText(person::TEL_r), kNoMode));
    if (!(f.female && f.male)) {
        if (f.female)
            add(equality(columnText(person::POL), QStringLiteral("жен")));
    }
    if (!(f.female && f.male)) {
        if (f.male)
            add(equality(columnText(person::POL), QStringLiteral("муж")));
    }

    if (!where.isEmpty())
        where.remove(0, 4); // the leading " AND" goes; the space before the first condition stays
    return where;
}

QString searchStatement(const SearchForm& form)
{
    const QString where = whereText(form);
    if (where.isEmpty())
        return {};
    return QStringLiteral("SELECT * FROM FZ_T1 WHERE") + where;
}

} // namespace search
