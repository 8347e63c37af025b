#include "util/Strings.h"

#include <QtTest>

class TestStrings : public QObject {
    Q_OBJECT
private slots:
    void trim_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        // clang-format off
        QTest::newRow("empty") << "" << "";
        QTest::newRow("only blanks") << " \t\r\n " << "";
        QTest::newRow("spaces around") << "  Петров  " << "Петров";
        QTest::newRow("control chars") << QString("\x01\x1f") + "ab" + QChar(0x7) << "ab";
        QTest::newRow("inner kept") << " а  б " << "а  б";
        QTest::newRow("nbsp is not trimmed") << QString(QChar(0xA0)) + "x" << QString(QChar(0xA0)) + "x";
        // clang-format on
    }
    void trim()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(fz::Trim(in), out);
    }

    void letterCase()
    {
        QCOMPARE(fz::LowerCase("ПЕТРОВ Ёлкин Ivan"), QString("петров ёлкин ivan"));
        QCOMPARE(fz::UpperCase("петров ёлкин ivan"), QString("ПЕТРОВ ЁЛКИН IVAN"));
    }

    void capitalizeFirst_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        // clang-format off
        QTest::newRow("empty") << "" << "";
        QTest::newRow("cyrillic") << "петров" << "Петров";
        QTest::newRow("yo") << "ёлкин" << "Ёлкин";
        QTest::newRow("rest unchanged") << "мАРИЯ" << "МАРИЯ";
        QTest::newRow("already") << "Иван" << "Иван";
        QTest::newRow("digit first") << "1ая" << "1ая";
        QTest::newRow("leading space stays") << " иван" << " иван";
        QTest::newRow("sharp s stays one char") << "ßa" << "ßa";
        QTest::newRow("astral letter") << QString::fromUtf8("\xf0\x90\x90\xa8x")
                                       << QString::fromUtf8("\xf0\x90\x90\x80x");
        // clang-format on
    }
    void capitalizeFirst()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(fz::CapitalizeFirst(in), out);
    }
};

QTEST_GUILESS_MAIN(TestStrings)
#include "test_strings.moc"
