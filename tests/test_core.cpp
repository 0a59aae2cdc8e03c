#include <QtTest>
class TestCore : public QObject { Q_OBJECT };
QTEST_MAIN(TestCore)
#include "test_core.moc"
