// The dialog service against a chooser the test answers: the request built from the
// properties and the properties written back.
#include "GCommonDialog.h"
#include "cCommonDialog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Readable failure messages for texts.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace tavix;

namespace {

class FakeChooser : public FileChooser
{
public:
    FileChooserAnswer answer;
    std::vector<FileChooserRequest> requests;

    FileChooserAnswer choose(const FileChooserRequest& request) override
    {
        requests.push_back(request);
        return answer;
    }
    const FileChooserRequest& last() const { return requests.back(); }
};

FileChooserAnswer chosen(const QString& path, int filterIndex = 1, uint32_t flags = 0)
{
    FileChooserAnswer a;
    a.accepted = true;
    a.path = path;
    a.filterIndex = filterIndex;
    a.flags = flags;
    return a;
}

FileChooserAnswer cancelled()
{
    return FileChooserAnswer{};
}

class DialogTest : public ::testing::Test
{
protected:
    FakeChooser chooser;
    cCommonDialog dialog{chooser};
};

// --- the filter text ---------------------------------------------------------------------

TEST(Filter, PartsAreSeparatedByNulsAndEndWithTwoMore)
{
    const QString nul(QChar(0));
    EXPECT_EQ(GCommonDialog::nulSeparatedFilter(QStringLiteral("A|*.x|B|*.y")),
              QStringLiteral("A") + nul + "*.x" + nul + "B" + nul + "*.y" + nul + nul);
    EXPECT_EQ(GCommonDialog::filterParts(QStringLiteral("A|*.x|B|*.y")),
              QStringList({"A", "*.x", "B", "*.y"}));
}

TEST(Filter, AColonSplitsLikeABar)
{
    EXPECT_EQ(GCommonDialog::filterParts(QStringLiteral("Songs: good ones|*.ogg")),
              QStringList({"Songs", " good ones", "*.ogg"}));
}

TEST(Filter, TheListEndsAtTheFirstEmptyPart)
{
    EXPECT_EQ(GCommonDialog::filterParts(QStringLiteral("A|*.x||B|*.y")),
              QStringList({"A", "*.x"}));
    EXPECT_TRUE(GCommonDialog::filterParts(QString()).isEmpty());
}

TEST(Filter, PatternsMatchEitherCase)
{
    EXPECT_EQ(GCommonDialog::caseInsensitivePatterns(QStringLiteral("*.SLK;*.ZTS")),
              QStringLiteral("*.[sS][lL][kK] *.[zZ][tT][sS]"));
    EXPECT_EQ(GCommonDialog::caseInsensitivePatterns(QStringLiteral("*.Mp3")),
              QStringLiteral("*.[mM][pP]3"));
    EXPECT_EQ(GCommonDialog::caseInsensitivePatterns(QStringLiteral("*.*")), QStringLiteral("*.*"));
    EXPECT_EQ(GCommonDialog::caseInsensitivePatterns(QStringLiteral("a[bc].d; ;")),
              QStringLiteral("[aA][bc].[dD]"));
}

TEST(Filter, DemoOggShowsUnderTheCapitalisedPattern)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"demo.ogg", "LOUD.OGG", "demo.wav", "notes.txt"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QDir folder(dir.path());
    const auto listed = [&](const QString& patterns) {
        return folder.entryList(patterns.split(QLatin1Char(' ')), QDir::Files | QDir::CaseSensitive,
                                QDir::Name);
    };
    EXPECT_TRUE(listed(QStringLiteral("*.Ogg")).isEmpty()); // what the filter says, as written
    EXPECT_EQ(listed(GCommonDialog::caseInsensitivePatterns(QStringLiteral("*.Ogg"))),
              QStringList({"LOUD.OGG", "demo.ogg"}));
    EXPECT_EQ(listed(GCommonDialog::caseInsensitivePatterns(QStringLiteral("*.Ogg;*.Mp3;*.Wav"))),
              QStringList({"LOUD.OGG", "demo.ogg", "demo.wav"}));
}

// --- the request ---------------------------------------------------------------------------

TEST_F(DialogTest, RequestCarriesThePairsAsNameFilters)
{
    dialog.Filter =
        QStringLiteral("Music File (*.Ogg,*.Mp3,*.Wav)|*.Ogg;*.Mp3;*.Wav|All Files (*.*)|*.*");
    chooser.answer = cancelled();
    dialog.ShowOpen();
    const FileChooserRequest& r = chooser.last();
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.descriptions, QStringList({"Music File (*.Ogg,*.Mp3,*.Wav)", "All Files (*.*)"}));
    EXPECT_EQ(r.patterns, QStringList({"*.Ogg;*.Mp3;*.Wav", "*.*"}));
    ASSERT_EQ(r.nameFilters.size(), 2);
    EXPECT_EQ(r.nameFilters[0], QStringLiteral("Music File (*.Ogg,*.Mp3,*.Wav) "
                                               "(*.[oO][gG][gG] *.[mM][pP]3 *.[wW][aA][vV])"));
    EXPECT_EQ(r.nameFilters[1], QStringLiteral("All Files (*.*) (*.*)"));
}

TEST_F(DialogTest, AnOddPartIsADescriptionWithoutPatterns)
{
    dialog.Filter = QStringLiteral("A|*.x|B");
    chooser.answer = cancelled();
    dialog.ShowSave();
    EXPECT_EQ(chooser.last().descriptions, QStringList({"A", "B"}));
    EXPECT_EQ(chooser.last().patterns, QStringList({"*.x", ""}));
}

TEST_F(DialogTest, RequestCarriesTitleOwnerFolderNameAndExtension)
{
    dialog.DialogTitle = QStringLiteral("Open FIle");
    dialog.InitDir = QStringLiteral("/opt/tavix");
    dialog.filename = QStringLiteral("chart.zts") + QChar(0) + QStringLiteral("junk");
    dialog.DefaultExt = QStringLiteral("zts");
    chooser.answer = cancelled();
    dialog.ShowOpen();
    const FileChooserRequest& r = chooser.last();
    EXPECT_EQ(r.title, QStringLiteral("Open FIle"));
    EXPECT_EQ(r.owner, nullptr);
    EXPECT_EQ(r.initDir, QStringLiteral("/opt/tavix"));
    EXPECT_EQ(r.proposedName, QStringLiteral("chart.zts"));
    EXPECT_EQ(r.defaultExt, QStringLiteral("zts"));
}

TEST_F(DialogTest, OpenPassesReadOnlyHideAndMustExistOnly)
{
    dialog.flags = 6144; // folder and file must exist
    chooser.answer = cancelled();
    dialog.ShowOpen();
    EXPECT_TRUE(chooser.last().fileMustExist);
    EXPECT_FALSE(chooser.last().readOnlyChecked);
    EXPECT_FALSE(chooser.last().hideReadOnly);
    EXPECT_FALSE(chooser.last().confirmOverwrite);

    dialog.flags = 1 | 2 | 4;
    dialog.ShowOpen();
    EXPECT_TRUE(chooser.last().readOnlyChecked);
    EXPECT_TRUE(chooser.last().hideReadOnly);
    EXPECT_FALSE(chooser.last().confirmOverwrite); // bit 2 means nothing to the open dialog
    EXPECT_FALSE(chooser.last().fileMustExist);
}

TEST_F(DialogTest, SaveAsksBeforeReplacingOnlyWithBitTwoAndAlwaysHidesReadOnly)
{
    dialog.flags = 2;
    chooser.answer = cancelled();
    dialog.ShowSave();
    EXPECT_TRUE(chooser.last().save);
    EXPECT_TRUE(chooser.last().confirmOverwrite);
    EXPECT_TRUE(chooser.last().hideReadOnly);

    dialog.flags = 1 | 4096;
    dialog.ShowSave();
    EXPECT_FALSE(chooser.last().confirmOverwrite);
    EXPECT_TRUE(chooser.last().hideReadOnly);
    EXPECT_FALSE(chooser.last().readOnlyChecked);
    EXPECT_FALSE(chooser.last().fileMustExist);
}

TEST_F(DialogTest, FilterIndexZeroIsTakenAsOneByOpenOnly)
{
    chooser.answer = cancelled();
    dialog.FilterIndex = 0;
    dialog.ShowOpen();
    EXPECT_EQ(chooser.last().filterIndex, 1);
    dialog.FilterIndex = 0;
    dialog.ShowSave();
    EXPECT_EQ(chooser.last().filterIndex, 0);
    dialog.FilterIndex = 2;
    dialog.ShowOpen();
    EXPECT_EQ(chooser.last().filterIndex, 2);
}

// --- the answer ------------------------------------------------------------------------------

TEST_F(DialogTest, ChosenFileGivesNameTitleFilterAndFlags)
{
    dialog.Filter =
        QStringLiteral("Script documents (*.SLK)|*.SLK|Zorvik Tune Scribe File (*.ZTS)|*.ZTS");
    dialog.flags = 2;
    chooser.answer = chosen(QStringLiteral("/songs/a.slk"), 2, 6);
    ASSERT_TRUE(dialog.ShowSave());
    EXPECT_EQ(dialog.filename, QStringLiteral("/songs/a.slk"));
    EXPECT_EQ(dialog.FileTitle, QStringLiteral("a.slk"));
    EXPECT_EQ(dialog.FilterIndex, 2);
    EXPECT_EQ(dialog.flags, 6u);
    EXPECT_FALSE(dialog.Cancelled);
    EXPECT_EQ(dialog.ErrorNumber, 0);
    // the filter stays for the next dialog
    EXPECT_EQ(dialog.Filter.left(16), QStringLiteral("Script documents"));
}

TEST_F(DialogTest, TitleIsTheNameWithoutItsFolder)
{
    EXPECT_EQ(GCommonDialog::titleOf(QStringLiteral("/home/u/My Songs/track 1.ogg")),
              QStringLiteral("track 1.ogg"));
    EXPECT_EQ(GCommonDialog::titleOf(QStringLiteral("plain.zts")), QStringLiteral("plain.zts"));
}

TEST_F(DialogTest, CancelWithCancelErrorFailsAndClearsTheProperties)
{
    dialog.CancelError = true;
    dialog.Filter = QStringLiteral("A|*.x");
    dialog.filename = QStringLiteral("old.zts");
    dialog.FileTitle = QStringLiteral("old.zts");
    dialog.flags = 6144;
    chooser.answer = cancelled();
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_TRUE(dialog.Cancelled);
    EXPECT_NE(dialog.ErrorNumber, 0);
    EXPECT_TRUE(dialog.filename.isEmpty());
    EXPECT_TRUE(dialog.FileTitle.isEmpty());
    EXPECT_TRUE(dialog.Filter.isEmpty());
    EXPECT_EQ(dialog.flags, 0u);
    EXPECT_EQ(dialog.FilterIndex, -1);

    dialog.Filter = QStringLiteral("A|*.x");
    EXPECT_FALSE(dialog.ShowSave());
    EXPECT_EQ(dialog.FilterIndex, 0);
    EXPECT_TRUE(dialog.ErrorSource.endsWith(QStringLiteral(".cCommonDialog")));
}

TEST_F(DialogTest, CancelWithoutCancelErrorSucceedsWithTheClearedProperties)
{
    dialog.Filter = QStringLiteral("A|*.x");
    dialog.filename = QStringLiteral("old.zts");
    dialog.flags = 2;
    chooser.answer = cancelled();
    EXPECT_TRUE(dialog.ShowSave());
    EXPECT_TRUE(dialog.Cancelled);
    EXPECT_EQ(dialog.ErrorNumber, 0);
    EXPECT_TRUE(dialog.filename.isEmpty());
    EXPECT_TRUE(dialog.Filter.isEmpty());
    EXPECT_EQ(dialog.flags, 0u);
    EXPECT_EQ(dialog.FilterIndex, 0);
}

TEST_F(DialogTest, ChooserErrorFailsWithTheCodeCombinedWithTheBase)
{
    dialog.Filter = QStringLiteral("A|*.x");
    dialog.filename = QStringLiteral("old.zts");
    FileChooserAnswer broken;
    broken.errorCode = 0x3003;
    chooser.answer = broken;
    EXPECT_FALSE(dialog.ShowOpen()); // a failure even with CancelError off
    EXPECT_EQ(dialog.ErrorNumber, 0x3003 | 0x348A);
    EXPECT_FALSE(dialog.Cancelled);
    EXPECT_TRUE(dialog.filename.isEmpty());
    EXPECT_TRUE(dialog.Filter.isEmpty());
    EXPECT_EQ(dialog.FilterIndex, -1);
    EXPECT_TRUE(dialog.ErrorSource.endsWith(QStringLiteral(".cCommonDialog")));

    // an answer that claims a file but carries an error is still an error
    broken.accepted = true;
    broken.path = QStringLiteral("/x/y.zts");
    chooser.answer = broken;
    EXPECT_FALSE(dialog.ShowSave());
    EXPECT_TRUE(dialog.filename.isEmpty());
}

TEST_F(DialogTest, ASuccessAfterAFailureClearsTheErrorState)
{
    dialog.CancelError = true;
    chooser.answer = cancelled();
    EXPECT_FALSE(dialog.ShowOpen());
    chooser.answer = chosen(QStringLiteral("/a/b.zts"));
    EXPECT_TRUE(dialog.ShowOpen());
    EXPECT_FALSE(dialog.Cancelled);
    EXPECT_EQ(dialog.ErrorNumber, 0);
    EXPECT_TRUE(dialog.ErrorSource.isEmpty());
    EXPECT_EQ(dialog.FileTitle, QStringLiteral("b.zts"));
}

} // namespace
