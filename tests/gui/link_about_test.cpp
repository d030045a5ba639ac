#include <QMouseEvent>

#include "res/resource_ids.h"
#include "shell/about_dlg.h"
#include "shell/static_link.h"
#include "tests/gui/gui_test_support.h"

using namespace tarvel;

namespace {

// A link label whose opener and beep are recorded.
struct CLinkFixture {
    explicit CLinkFixture(const QString& text, bool opens = true) {
        link.setText(text);
        link.m_pVisited = &visited;
        link.m_openUrl = [this, opens](const QUrl& url) {
            opened << url.toString();
            return opens;
        };
        link.m_beep = [this] { ++beeps; };
        link.resize(200, 20);
        link.show();
    }
    CStaticLink link;
    int visited = 0;
    QStringList opened;
    int beeps = 0;
};

void MoveTo(QWidget& widget, QPoint point) {
    QMouseEvent move(QEvent::MouseMove, point, widget.mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

}  // namespace

class LinkAboutTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheFollowedFlagsColour() {
        CLinkFixture f(QStringLiteral("https://tarvel.example.org/"));
        QCOMPARE(f.link.CurrentColor(), QColor(0, 0, 255));
        QVERIFY(f.link.font().underline());
        f.visited = 1;
        QCOMPARE(f.link.CurrentColor(), QColor(128, 0, 128));
        f.visited = 2;  // only 1 means followed
        QCOMPARE(f.link.CurrentColor(), QColor(0, 0, 255));
    }

    // Two clicks on a link: what was opened, and what a click leaves behind.
    void clickingOpensTheAddress_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("opened");  // by each click
        QTest::addColumn<int>("visited");
        QTest::addColumn<int>("beeps");
        QTest::newRow("mail address gets one mailto: prefix")
            << QString::fromLatin1(res::kMailAddress) << true << "mailto:tarvel-support@example.org" << 1
            << 0;
        QTest::newRow("other address unchanged")
            << "someone@example.net" << true << "someone@example.net" << 1 << 0;
        QTest::newRow("failed open beeps, stays unvisited")
            << "https://tarvel.example.org/" << false << "https://tarvel.example.org/" << 0 << 2;
    }
    void clickingOpensTheAddress() {
        QFETCH(QString, text);
        QFETCH(bool, opens);
        QFETCH(QString, opened);
        QFETCH(int, visited);
        QFETCH(int, beeps);
        CLinkFixture f(text, opens);
        f.link.OnClicked();
        f.link.OnClicked();
        QCOMPARE(f.opened, (QStringList{opened, opened}));
        QCOMPARE(f.visited, visited);
        QCOMPARE(f.beeps, beeps);
        QCOMPARE(f.link.CurrentColor(), visited == 1 ? QColor(128, 0, 128) : QColor(0, 0, 255));
    }

    void pausesPointerChangesForASecondAfterAClick() {
        CLinkFixture f(QStringLiteral("https://tarvel.example.org/"));
        MoveTo(f.link, QPoint(5, 5));
        QCOMPARE(f.link.m_bCaptured, 1);
        QCOMPARE(f.link.cursor().shape(), Qt::BitmapCursor);
        f.link.OnClicked();
        QCOMPARE(f.link.m_bCaptured, 0);
        QCOMPARE(f.link.m_bJustClicked, 1);
        MoveTo(f.link, QPoint(6, 6));
        QCOMPARE(f.link.m_bCaptured, 0);
        QTRY_COMPARE_WITH_TIMEOUT(f.link.m_bJustClicked, 0, 3000);
        MoveTo(f.link, QPoint(7, 7));
        QCOMPARE(f.link.m_bCaptured, 1);
        MoveTo(f.link, QPoint(500, 7));
        QCOMPARE(f.link.m_bCaptured, 0);
        QCOMPARE(f.link.cursor().shape(), Qt::ArrowCursor);
    }

    void theAboutBoxShowsTheLinksFollowedThisRun() {
        test::CAppFixture f;
        f.app.m_bVisitedWeb = 1;
        CAboutDlg about(&f.app.m_bVisitedMail, &f.app.m_bVisitedWeb);
        QCOMPARE(about.m_wndWebLink.CurrentColor(), QColor(128, 0, 128));
        QCOMPARE(about.m_wndMailLink.CurrentColor(), QColor(0, 0, 255));
    }
};

QObject* NewLinkAboutTest() { return new LinkAboutTest; }

#include "link_about_test.moc"
