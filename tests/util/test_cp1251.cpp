// Windows-1251 conversion: every byte of the code page, the characters it cannot hold.
#include "util/Cp1251.h"

#include <QStringDecoder>
#include <QtTest>

class TestCp1251 : public QObject {
    Q_OBJECT
private slots:
    void everyByteRoundTripsAgainstQtsTable()
    {
        QStringDecoder dec("windows-1251");
        QVERIFY(dec.isValid());
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QString viaQt = dec(QByteArray(&byte, 1));
            if (b == 0x98) {
                // The one unassigned byte.
                QCOMPARE(fromCp1251(0x98), QChar(QChar::ReplacementCharacter));
                continue;
            }
            QCOMPARE(viaQt.size(), 1);
            QCOMPARE(fromCp1251(uchar(b)), viaQt.at(0));
            QCOMPARE(cp1251Code(viaQt.at(0)), b);
            QCOMPARE(toCp1251(viaQt), QByteArray(1, byte));
        }
    }

    void codesOfCommonCharacters()
    {
        QCOMPARE(cp1251Code(QChar(u'а')), 224);
        QCOMPARE(cp1251Code(QChar(u'я')), 255);
        QCOMPARE(cp1251Code(QChar(u'А')), 192);
        QCOMPARE(cp1251Code(QChar(u'Ё')), 168);
        QCOMPARE(cp1251Code(QChar(u'ё')), 184);
        QCOMPARE(cp1251Code(QChar(u'№')), 185);
        QCOMPARE(cp1251Code(QChar(u'€')), 136);
        QCOMPARE(cp1251Code(QChar(u'1')), 49);
        QCOMPARE(cp1251Code(QChar(1)), 1);
    }

    void unmappableBecomesQuestionMark()
    {
        QCOMPARE(cp1251Code(QChar(u'ü')), -1);
        QCOMPARE(cp1251Code(QChar(u'中')), -1);
        QCOMPARE(cp1251Code(char32_t(0x1F600)), -1);
        QCOMPARE(toCp1251(u"Мüller"), QByteArray("\xCC?ller"));
        // A character outside the basic plane is one "?", not one per surrogate.
        QCOMPARE(toCp1251(QString::fromUtf8("a\xF0\x9F\x98\x80"
                                            "b")),
                 QByteArray("a?b"));
        // A lone surrogate is one "?" too.
        QString lone = QStringLiteral("x");
        lone.append(QChar(0xD800));
        QCOMPARE(toCp1251(lone), QByteArray("x?"));
    }

    void appendsToWhatIsThere()
    {
        QByteArray out("ab,");
        appendCp1251(out, u"Ёж");
        QCOMPARE(out, QByteArray("ab,\xA8\xE6"));
    }
};

QTEST_GUILESS_MAIN(TestCp1251)
#include "test_cp1251.moc"
