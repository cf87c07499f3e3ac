// The QFileDialog chooser, driven the way a user would: the test finds the open dialog,
// checks what it offers, picks a file and a filter, and accepts or cancels it.
#include "QtFileChooser.h"
#include "GCommonDialog.h"
#include "cCommonDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Readable failure messages for texts.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace tavix;

namespace {

// What the dialog looked like when the test found it.
struct Seen
{
    bool found = false;
    QString title;
    QString directory;
    QStringList nameFilters;
    QString selectedNameFilter;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    bool confirmsOverwrite = false;
    QWidget* parent = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
};

// Runs `act` on the file dialog as soon as it is shown.
void whenDialogShows(Seen& seen, std::function<void(QFileDialog&)> act)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &seen, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        seen.found = true;
        seen.title = dialog->windowTitle();
        seen.directory = dialog->directory().absolutePath();
        seen.nameFilters = dialog->nameFilters();
        seen.selectedNameFilter = dialog->selectedNameFilter();
        seen.fileMode = dialog->fileMode();
        seen.acceptMode = dialog->acceptMode();
        seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        seen.parent = dialog->parentWidget();
        seen.modality = dialog->windowModality();
        act(*dialog);
    });
    timer->start();
}

class ChooserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"a.slk", "b.zts", "demo.ogg"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }

    QTemporaryDir dir;
    QtFileChooser chooser{/*useNativeDialog=*/false};
    Seen seen;
};

TEST_F(ChooserTest, OpenOffersTheFiltersAndReturnsTheChosenFileAndFilter)
{
    cCommonDialog props(chooser);
    props.DialogTitle = QStringLiteral("Open FIle");
    props.InitDir = dir.path();
    props.Filter =
        QStringLiteral("Script documents (*.SLK)|*.SLK|Zorvik Tune Scribe File (*.ZTS)|*.ZTS");
    props.FilterIndex = 2;
    props.flags = 6144;
    props.CancelError = true;
    const FileChooserRequest request = GCommonDialog::buildRequest(props, false);

    whenDialogShows(seen, [&](QFileDialog& d) {
        d.selectNameFilter(request.nameFilters[0]);
        d.selectFile(dir.filePath(QStringLiteral("a.slk")));
        static_cast<QDialog&>(d).accept(); // as the dialog's own button does
    });
    ASSERT_TRUE(props.ShowOpen());

    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, QStringLiteral("Open FIle"));
    EXPECT_EQ(seen.directory, QDir(dir.path()).absolutePath());
    EXPECT_EQ(seen.nameFilters, request.nameFilters);
    // FilterIndex 2 is selected first; the list shows the descriptions alone
    EXPECT_EQ(seen.selectedNameFilter, QStringLiteral("Zorvik Tune Scribe File (*.ZTS)"));
    EXPECT_EQ(seen.fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptOpen);

    EXPECT_EQ(props.filename, dir.filePath(QStringLiteral("a.slk")));
    EXPECT_EQ(props.FileTitle, QStringLiteral("a.slk"));
    EXPECT_EQ(props.FilterIndex, 1);
    EXPECT_EQ(props.flags, 4096u);
}

TEST_F(ChooserTest, SecondFilterChosenGivesIndexTwo)
{
    FileChooserRequest r;
    r.title = QStringLiteral("Save FIle");
    r.save = true;
    r.initDir = dir.path();
    r.nameFilters = {QStringLiteral("Script documents (*.SLK) (*.[sS][lL][kK])"),
                     QStringLiteral("Zorvik Tune Scribe File (*.ZTS) (*.[zZ][tT][sS])")};
    r.confirmOverwrite = true;
    whenDialogShows(seen, [&](QFileDialog& d) {
        d.selectNameFilter(r.nameFilters[1]);
        d.selectFile(dir.filePath(QStringLiteral("new chart.zts")));
        static_cast<QDialog&>(d).accept(); // as the dialog's own button does
    });
    const FileChooserAnswer a = chooser.choose(r);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptSave);
    EXPECT_TRUE(seen.confirmsOverwrite);
    EXPECT_EQ(seen.selectedNameFilter, QStringLiteral("Script documents (*.SLK)"));
    ASSERT_TRUE(a.accepted);
    EXPECT_EQ(a.errorCode, 0u);
    EXPECT_EQ(a.path, dir.filePath(QStringLiteral("new chart.zts")));
    EXPECT_EQ(a.filterIndex, 2);
    EXPECT_EQ(a.flags, 2u | 4u);
}

TEST_F(ChooserTest, SaveWithoutBitTwoReplacesWithoutAsking)
{
    FileChooserRequest r;
    r.save = true;
    r.initDir = dir.path();
    r.nameFilters = {QStringLiteral("Zorvik Tune Scribe File (*.ZTS) (*.[zZ][tT][sS])")};
    r.filterIndex = 0; // out of range: the first filter is shown
    whenDialogShows(seen, [&](QFileDialog& d) {
        d.selectFile(dir.filePath(QStringLiteral("b.zts"))); // exists
        static_cast<QDialog&>(d).accept();                   // as the dialog's own button does
    });
    const FileChooserAnswer a = chooser.choose(r);
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(seen.confirmsOverwrite);
    EXPECT_EQ(seen.selectedNameFilter, QStringLiteral("Zorvik Tune Scribe File (*.ZTS)"));
    ASSERT_TRUE(a.accepted);
    EXPECT_EQ(a.path, dir.filePath(QStringLiteral("b.zts")));
    EXPECT_EQ(a.filterIndex, 1);
    EXPECT_EQ(a.flags, 4u);
}

TEST_F(ChooserTest, CancelIsNoChoice)
{
    cCommonDialog props(chooser);
    props.InitDir = dir.path();
    props.Filter = QStringLiteral("All Support documents (*.SLK;*.ZTS)|*.SLK;*.ZTS");
    props.CancelError = true;
    whenDialogShows(seen, [](QFileDialog& d) { d.reject(); });
    EXPECT_FALSE(props.ShowOpen());
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.fileMode, QFileDialog::AnyFile); // flag 4096 was not given
    EXPECT_TRUE(props.Cancelled);
    EXPECT_TRUE(props.filename.isEmpty());
    EXPECT_EQ(props.FilterIndex, -1);
}

TEST_F(ChooserTest, DialogBelongsToItsOwnerAndIsModalToIt)
{
    QWidget owner;
    owner.show();
    FileChooserRequest r;
    r.owner = &owner;
    r.initDir = dir.path();
    whenDialogShows(seen, [](QFileDialog& d) { d.reject(); });
    const FileChooserAnswer a = chooser.choose(r);
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(a.accepted);
    EXPECT_EQ(seen.parent, &owner);
    EXPECT_EQ(seen.modality, Qt::WindowModal);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
