#include <QLabel>
#include <QtTest>

#include "app/tform2.h"

using namespace relaybox;

class TestTForm2 : public QObject
{
    Q_OBJECT

private slots:
    // Every line of the About box shows whole, in the font the box draws it with.
    void textsShowWhole()
    {
        TForm2 box;
        const QList<QLabel *> labels = box.findChildren<QLabel *>();
        QCOMPARE(labels.size(), 2);
        for (const QLabel *label : labels) {
            const QSize needed = label->sizeHint();
            QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height()
                         && box.rect().contains(label->geometry()),
                     qPrintable(QStringLiteral("%1: %2 x %3 in %4 x %5")
                                    .arg(label->text())
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(label->width())
                                    .arg(label->height())));
        }
        QCOMPARE(labels.first()->text(), QStringLiteral("KESTRANE Relaybox Management V1.00"));
    }
};

QTEST_MAIN(TestTForm2)
#include "tst_tform2.moc"
