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
class ProfileDataListTest : public ProfileFixture, public DocumentView {
protected:
    ProfileDataListTest() {
        doc->AddView(this);
        OnUpdate(nullptr, 0);
        list.resize(140, 200);
        prompter.ExpectMessages();
    }
    ~ProfileDataListTest() override { doc->RemoveView(this); }
    void OnUpdate(DocumentView*, int) override {
        list.SetItemCount(static_cast<int>(doc->Phase().size()));
    }

    QModelIndex Row(int row) const { return list.model()->index(row, 0); }
    QLineEdit* Editor() const { return qobject_cast<QLineEdit*>(list.indexWidget(Row(5))); }
    bool Visible(int row) const { // the centre of the row is on the screen
        return list.viewport()->rect().contains(list.visualRect(Row(row)).center());
    }

    CProfileDataList list{NewDoc()}; // 256 values of 0.0, maximum phase 8
};

TEST_F(ProfileDataListTest, RowsShowIndexAndValueInExponentForm) {
    const std::tuple<int, double, const char*> cases[] = {{0, 0.0, "000: 0.000000e+000"},
                                                          {7, 2.5, "007: 2.500000e+000"},
                                                          {99, 1.0 / 3.0, "099: 3.333333e-001"},
                                                          {255, 1e-7, "255: 1.000000e-007"}};
    EXPECT_EQ(list.model()->rowCount(), 256);
    for (const auto& [row, value, text] : cases) {
        DocFields(*doc).m_phase[row] = value;
        EXPECT_EQ(Row(row).data().toString(), text);
        EXPECT_EQ(Row(row).data(Qt::EditRole).toString(), QString(text).mid(5)); // bare value
    }
    EXPECT_EQ(Row(256).data().toString(), ""); // beyond the list
    list.SetItemCount(300);                    // before the document's data have grown
    EXPECT_EQ(Row(280).data().toString(), "");
}

TEST_F(ProfileDataListTest, AnEditEndsInTheDocumentAndAlwaysRefreshesTheViews) {
    const double start = 1.2345678912;
    // Typed (nullptr: nothing, the shown text kept exactly), how the edit ends (Key_unknown: a
    // request without a selection), the value stored (a changed one modifies the document) and
    // whether the input is refused.
    const std::tuple<const char*, Qt::Key, double, bool> cases[] = {
        {"1.25", Qt::Key_Return, 1.25, false},  {"-0.1", Qt::Key_Return, start, true},
        {"8.01", Qt::Key_Return, start, true},  {"abc", Qt::Key_Return, start, true},
        {"nan", Qt::Key_Return, start, true},   {"inf", Qt::Key_Enter, start, true},
        {"", Qt::Key_Return, 0.0, false},       {"   ", Qt::Key_Return, 0.0, false},
        {"1.5 mm", Qt::Key_Return, 1.5, false}, {"3e-1", Qt::Key_Return, 0.3, false},
        {" 8  ", Qt::Key_Tab, 8.0, false},      {"-0", Qt::Key_Return, 0.0, false},
        {"1.25", Qt::Key_Escape, start, false}, {"1.25", Qt::Key_unknown, start, false},
        {nullptr, Qt::Key_Return, start, false}};
    for (const auto& [typed, key, stored, refused] : cases) {
        SCOPED_TRACE(testing::Message() << '"' << (typed ? typed : "(untouched)") << "\" " << key);
        DocFields(*doc).m_phase[5] = start;
        doc->SetModifiedFlag(false);
        list.SelectElement(5);
        list.EditCurrent();
        EXPECT_FALSE(list.IsEditing()); // the request is posted
        ASSERT_TRUE(QTest::qWaitFor([&] { return Editor() != nullptr; }));
        QLineEdit* editor = Editor();
        EXPECT_EQ(editor->text(), "1.234568e+000");
        if (typed) {
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_Delete);
            QTest::keyClicks(editor, typed);
        }
        view.hints.clear();
        key == Qt::Key_unknown ? (list.DeselectElement(), list.EditCurrent())
                               : QTest::keyClick(editor, key);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view.hints.empty(); }));
        EXPECT_EQ(view.hints, std::vector<int>{HINT_FULL});
        EXPECT_FALSE(list.IsEditing());
        EXPECT_EQ(doc->Phase()[5], stored);
        EXPECT_FALSE(std::signbit(doc->Phase()[5]));
        EXPECT_EQ(doc->IsModified(), stored != start);
        for (const auto& box : prompter.shown) {
            EXPECT_EQ(box.type, MB_OK); // OK button, the default (exclamation) icon
        }
        EXPECT_EQ(Messages(),
                  std::vector<std::string>(refused, "Please enter a number between 0 and 8."));
    }
}

TEST_F(ProfileDataListTest, DoubleClickEditsTheSelectedItemAndNothingWithoutOne) {
    list.show();
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(Row(5)).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Editor() != nullptr; }));
    EXPECT_EQ(list.CurrentElement(), 5);
    QTest::keyClick(Editor(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.hints.empty(); }));
    list.EditCurrent(); // an editor whose item goes away goes with it
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.IsEditing(); }));
    DocFields(*doc).m_phase.resize(4);
    list.SetItemCount(4);
    EXPECT_FALSE(list.IsEditing());
    list.DeselectElement();
    view.hints.clear();
    const QPoint below = list.visualRect(Row(3)).center() + QPoint(0, 40);
    ASSERT_FALSE(list.indexAt(below).isValid());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, below);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(!list.IsEditing() && list.CurrentElement() == -1 && view.hints.empty());
}

TEST_F(ProfileDataListTest, SelectionIsSignalledOnceWithTheIndexOrMinusOneAndScrolledTo) {
    list.show();
    QSignalSpy spy(&list, &CProfileDataList::currentElementChanged);
    // Select, Deselect, item Count, Key down; and the signals each must raise.
    const std::tuple<char, int, std::vector<int>> steps[] = {
        {'S', 3, {3}},     {'S', 3, {}},      {'S', 200, {200}}, {'S', 256, {}},   {'S', -1, {}},
        {'D', 0, {-1}},    {'D', 0, {}},      {'S', 0, {0}},     {'K', 0, {1}},    {'C', 256, {}},
        {'S', 255, {255}}, {'S', 128, {128}}, {'S', 250, {250}}, {'C', 100, {-1}}, {'S', 99, {99}},
        {'D', 0, {-1}},    {'C', 50, {}},     {'C', 256, {}},    {'K', 0, {0}}};
    for (const auto& [action, n, expected] : steps) {
        SCOPED_TRACE(testing::Message() << action << n);
        spy.clear();
        action == 'S'   ? list.SelectElement(n)
        : action == 'D' ? list.DeselectElement()
        : action == 'C' ? list.SetItemCount(n)
                        : QTest::keyClick(&list, Qt::Key_Down);
        std::vector<int> seen;
        for (const auto& args : spy) {
            seen.push_back(args.at(0).toInt());
        }
        EXPECT_EQ(seen, expected);
        const int current = list.CurrentElement(); // the last one signalled, scrolled into view
        EXPECT_TRUE((seen.empty() || current == seen.back()) && (current < 0 || Visible(current)));
    }
}

TEST_F(ProfileDataListTest, DrawingFormatsOnlyTheVisibleRows) {
    DocFields(*doc).m_phase.assign(512, 1.0);
    list.SetItemCount(512);
    list.show();
    const int visible = list.viewport()->height() / list.visualRect(Row(0)).height() + 1;
    for (const int position : {0, 200, 10000}) {
        SCOPED_TRACE(position);
        list.verticalScrollBar()->setValue(position);
        const int before = list.DataModel()->FormattedTexts();
        list.grab();
        const int formatted = list.DataModel()->FormattedTexts() - before;
        EXPECT_TRUE(formatted > 0 && formatted <= visible) << formatted;
    }
    EXPECT_TRUE(Visible(511));
}

} // namespace
