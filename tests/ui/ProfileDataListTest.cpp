// The profile data list: row texts, in-place editing into the document, the selection signal,
// and that drawing formats only the rows on the screen.
#include "profile_ui/ProfileDataList.h"

#include "support/ProfileFixture.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

namespace {

// Keeps the list's item count in step with the document, as the editor view does.
class ListHost : public DocumentView {
public:
    ListHost(CTessaronDoc& doc, CProfileDataList& list) : m_doc(doc), m_list(list) {}
    void OnUpdate(DocumentView*, int) override {
        m_list.SetItemCount(static_cast<int>(m_doc.m_phase.size()));
    }

private:
    CTessaronDoc& m_doc;
    CProfileDataList& m_list;
};

class ProfileDataListTest : public ProfileFixture {
protected:
    ProfileDataListTest() {
        NewDoc(); // 256 values of 0.0, maximum phase 8
        list = std::make_unique<CProfileDataList>(*doc, prompter);
        host = std::make_unique<ListHost>(*doc, *list);
        doc->AddView(host.get());
        list->SetItemCount(static_cast<int>(doc->m_phase.size()));
        list->resize(140, 200);
        prompter.ExpectMessages();
    }
    ~ProfileDataListTest() override { doc->RemoveView(host.get()); }

    QString Text(int row, int role = Qt::DisplayRole) const {
        return list->model()->index(row, 0).data(role).toString();
    }
    QLineEdit* Editor() const {
        return qobject_cast<QLineEdit*>(list->indexWidget(list->model()->index(5, 0)));
    }

    std::unique_ptr<CProfileDataList> list;
    std::unique_ptr<ListHost> host;
};

TEST_F(ProfileDataListTest, RowsShowIndexAndValueInExponentForm) {
    const std::tuple<int, double, const char*> cases[] = {
        {0, 0.0, "000: 0.000000e+000"},
        {7, 2.5, "007: 2.500000e+000"},
        {99, 1.0 / 3.0, "099: 3.333333e-001"},
        {255, 1e-7, "255: 1.000000e-007"},
    };
    EXPECT_EQ(list->model()->rowCount(), 256);
    for (const auto& [row, value, text] : cases) {
        doc->m_phase[row] = value;
        EXPECT_EQ(Text(row), text);
        EXPECT_EQ(Text(row, Qt::EditRole), QString(text).mid(5)); // the bare value
    }
    EXPECT_EQ(Text(256), ""); // beyond the list
    list->SetItemCount(300);  // before the document's data have grown
    EXPECT_EQ(Text(280), "");
}

TEST_F(ProfileDataListTest, AnEditEndsInTheDocumentAndAlwaysRefreshesTheViews) {
    const std::string refused = "Please enter a number between 0 and 8.";
    struct Case {
        const char* typed; // nullptr: nothing typed
        Qt::Key key;       // how the edit ends; Key_unknown: a request without a selection
        double stored;
        bool modified;
        std::string message;
    };
    const double start = 1.2345678912;
    const Case cases[] = {
        {"1.25", Qt::Key_Return, 1.25, true, ""},
        {"-0.1", Qt::Key_Return, start, false, refused},
        {"8.01", Qt::Key_Return, start, false, refused},
        {"abc", Qt::Key_Return, start, false, refused},
        {"nan", Qt::Key_Return, start, false, refused},
        {"inf", Qt::Key_Enter, start, false, refused},
        {"", Qt::Key_Return, 0.0, true, ""},
        {"   ", Qt::Key_Return, 0.0, true, ""},
        {"1.5 mm", Qt::Key_Return, 1.5, true, ""},
        {"3e-1", Qt::Key_Return, 0.3, true, ""},
        {" 8  ", Qt::Key_Tab, 8.0, true, ""},
        {"-0", Qt::Key_Return, 0.0, true, ""},
        {"1.25", Qt::Key_Escape, start, false, ""},
        {"1.25", Qt::Key_unknown, start, false, ""},
        {nullptr, Qt::Key_Return, start, false, ""}, // the shown text taken back: kept exactly
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << '"' << (c.typed ? c.typed : "(untouched)") << "\" " << c.key);
        doc->m_phase[5] = start;
        doc->SetModifiedFlag(false);
        list->SelectElement(5);
        list->EditCurrent();
        EXPECT_FALSE(list->IsEditing()); // the request is posted
        ASSERT_TRUE(QTest::qWaitFor([&] { return Editor() != nullptr; }));
        QLineEdit* editor = Editor();
        EXPECT_EQ(editor->text(), "1.234568e+000");
        if (c.typed) {
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_Delete);
            QTest::keyClicks(editor, c.typed);
        }
        view.hints.clear();
        if (c.key == Qt::Key_unknown) {
            list->DeselectElement();
            list->EditCurrent();
        } else {
            QTest::keyClick(editor, c.key);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view.hints.empty(); }));
        EXPECT_EQ(view.hints, std::vector<int>{HINT_FULL});
        EXPECT_FALSE(list->IsEditing());
        EXPECT_EQ(doc->m_phase[5], c.stored);
        EXPECT_FALSE(std::signbit(doc->m_phase[5]));
        EXPECT_EQ(doc->IsModified(), c.modified);
        for (const auto& box : prompter.shown) {
            EXPECT_EQ(box.type, MB_OK); // OK button, the default (exclamation) icon
        }
        EXPECT_EQ(Messages(), c.message.empty() ? std::vector<std::string>{}
                                                : std::vector<std::string>{c.message});
    }
}

TEST_F(ProfileDataListTest, DoubleClickEditsTheSelectedItemAndNothingWithoutOne) {
    list->show();
    const auto centre = [&](int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    };
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre(5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Editor() != nullptr; }));
    EXPECT_EQ(list->CurrentElement(), 5);
    QTest::keyClick(Editor(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.hints.empty(); }));
    list->EditCurrent(); // an editor whose item goes away goes with it
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->IsEditing(); }));
    doc->m_phase.resize(4);
    list->SetItemCount(4);
    EXPECT_FALSE(list->IsEditing());
    list->DeselectElement();
    view.hints.clear();
    const QPoint below = centre(3) + QPoint(0, 40);
    ASSERT_FALSE(list->indexAt(below).isValid());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(list->IsEditing());
    EXPECT_EQ(list->CurrentElement(), -1);
    EXPECT_TRUE(view.hints.empty());
}

TEST_F(ProfileDataListTest, SelectionChangesAreSignalledOnceWithTheIndexOrMinusOne) {
    QSignalSpy spy(list.get(), &CProfileDataList::currentElementChanged);
    // An action and the signals it must raise.
    const std::pair<std::function<void()>, std::vector<int>> steps[] = {
        {[&] { list->SelectElement(3); }, {3}},
        {[&] { list->SelectElement(3); }, {}},
        {[&] { list->SelectElement(200); }, {200}},
        {[&] { list->SelectElement(256); }, {}},
        {[&] { list->SelectElement(-1); }, {}},
        {[&] { list->DeselectElement(); }, {-1}},
        {[&] { list->DeselectElement(); }, {}},
        {[&] { list->SelectElement(0); }, {0}},
        {[&] { QTest::keyClick(list.get(), Qt::Key_Down); }, {1}},
        {[&] { list->SetItemCount(256); }, {}},
        {[&] { list->SelectElement(250); }, {250}},
        {[&] { list->SetItemCount(100); }, {-1}},
        {[&] { list->SelectElement(99); }, {99}},
        {[&] { list->DeselectElement(), list->SetItemCount(50); }, {-1}},
        {[&] { list->SetItemCount(256); }, {}},
        {[&] { QTest::keyClick(list.get(), Qt::Key_Down); }, {0}},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        spy.clear();
        steps[i].first();
        std::vector<int> seen;
        for (const auto& args : spy) {
            seen.push_back(args.at(0).toInt());
        }
        EXPECT_EQ(seen, steps[i].second);
        EXPECT_EQ(list->CurrentElement(), seen.empty() ? list->CurrentElement() : seen.back());
    }
}

TEST_F(ProfileDataListTest, SelectElementScrollsTheItemIntoView) {
    list->show();
    for (const int row : {200, 0, 255, 128}) {
        SCOPED_TRACE(row);
        list->SelectElement(row);
        EXPECT_EQ(list->CurrentElement(), row);
        const QRect item = list->visualRect(list->model()->index(row, 0));
        EXPECT_TRUE(list->viewport()->rect().contains(item.center()));
    }
}

TEST_F(ProfileDataListTest, DrawingFormatsOnlyTheVisibleRows) {
    doc->m_phase.assign(512, 1.0);
    list->SetItemCount(512);
    list->show();
    const int rowHeight = list->visualRect(list->model()->index(0, 0)).height();
    const int visible = list->viewport()->height() / rowHeight + 1;
    for (const int position : {0, 200, 10000}) {
        SCOPED_TRACE(position);
        list->verticalScrollBar()->setValue(position);
        const int before = list->DataModel()->FormattedTexts();
        list->grab();
        const int formatted = list->DataModel()->FormattedTexts() - before;
        EXPECT_GT(formatted, 0);
        EXPECT_LE(formatted, visible);
    }
    EXPECT_TRUE(
        list->viewport()->rect().contains(list->visualRect(list->model()->index(511, 0)).center()));
}

} // namespace
