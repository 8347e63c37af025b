// ExtractField: the n-th field of a text split on one character.
#include "util/ExtractField.h"

#include <QtTest>

class TestExtractField : public QObject {
    Q_OBJECT
private slots:
    void fields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("want");
        // clang-format off
        QTest::newRow("first of several") << "www.a.example  x@y" << 1 << " " << "www.a.example";
        QTest::newRow("no separator") << "whole" << 1 << " " << "whole";
        QTest::newRow("empty text") << "" << 1 << " " << "";
        QTest::newRow("second") << "a,b,c" << 2 << "," << "b";
        QTest::newRow("third is the tail") << "a,b,c" << 3 << "," << "c";
        QTest::newRow("beyond the end gives the tail") << "a,b,c" << 7 << "," << "c";
        QTest::newRow("two in a row give empty") << "a,,c" << 2 << "," << "";
        QTest::newRow("leading separator") << " a" << 1 << " " << "";
        QTest::newRow("trailing separator, beyond") << "a," << 2 << "," << "";
        QTest::newRow("n = 0 never stops") << "a,b" << 0 << "," << "b";
        QTest::newRow("cyrillic separator") << "ДомЖКвартира" << 2 << "Ж" << "Квартира";
        // clang-format on
    }
    void fields()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, sep);
        QFETCH(QString, want);
        QCOMPARE(ExtractField(text, n, sep.at(0)), want);
    }
};

QTEST_GUILESS_MAIN(TestExtractField)
#include "test_extract_field.moc"
