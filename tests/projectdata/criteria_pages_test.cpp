// The project window's criteria pages, driven through the tab strip.
#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/testing.h"
#include "projectdata/form3.h"

namespace {

class CriteriaPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        w_ = std::make_unique<Form3>();
        vb::test::ShowAndActivate(*w_);
        w_->Command3_Click();
    }
    Form3& w() { return *w_; }
    void Tab(int index) { w().TabStrip1.SelectedIndex(index); }
    std::unique_ptr<Form3> w_;
};

}  // namespace

TEST_F(CriteriaPagesTest, LeavingTheCriteriaPageMakesANullLoadFactorOne) {
    struct Case { const char* typed; const char* left; int nextTab; };
    const Case cases[] = {{"0", "1", 3},   {"", "1", 7},      {"abc", "1", 1}, {"0.00", "1", 5},
                          {"-2", "-2", 3}, {"3.5", "3.5", 7}, {".5x", ".5x", 1}};
    for (const Case& c : cases) {
        Tab(2);
        ASSERT_EQ(w().Label2(5).Caption(), "Load Factor");
        w().Text2(5).Text(c.typed);
        Tab(c.nextTab);
        EXPECT_EQ(w().Text2(5).Text(), c.left) << c.typed << " then tab " << c.nextTab;
    }
    // Left from the Title page the box is not touched.
    Tab(1);
    w().Text2(5).Text("0");
    Tab(3);
    EXPECT_EQ(w().Text2(5).Text(), "0");
}

TEST_F(CriteriaPagesTest, BoxesAndFramesEachPageShows) {
    Tab(1);
    for (int i = 0; i <= 14; ++i) EXPECT_EQ(w().Text2(i).TabStop(), i <= 3) << i;
    Tab(2);   // fifteen boxes, the label of the fourth hidden since the Title page
    for (int i = 0; i <= 14; ++i) EXPECT_TRUE(w().Text2(i).Visible() && w().Text2(i).TabStop()) << i;
    EXPECT_FALSE(w().Label2(3).Visible());

    w().Text2(17).Text("kept");
    w().Text2(18).Text("gone");
    Tab(7);   // the storm page beside the criteria page
    EXPECT_TRUE(w().Frame3.Visible() && w().Frame6.Visible());
    EXPECT_EQ(w().Text2(17).Text(), "kept");
    EXPECT_EQ(w().Text2(18).Text(), "");

    for (int i = 0; i <= 5; ++i) w().Text1(i).Text("t" + std::to_string(i));
    Tab(3);
    Tab(5);   // Population1's commit shows Text1(3); Infiltration shows (0) to (3)
    EXPECT_FALSE(w().Frame3.Visible());
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(w().Text1(i).Visible(), i <= 3) << i;
    EXPECT_EQ(w().Text1(0).Text() + w().Text1(1).Text() + w().Text1(2).Text(), "t2");
    EXPECT_TRUE(w().Option1(0).Value() && w().Option2(0).Value());

    w().Option1(2).Value(true);
    Tab(6);   // Infiltration's commit hides Text1(3); Inflow selects nothing
    EXPECT_FALSE(w().Text1(3).Visible());
    EXPECT_TRUE(w().Option1(2).Value());

    Tab(4);
    for (vb::Label* l : {&w().Label1, &w().Label3, &w().Label4, &w().Label5}) EXPECT_EQ(l->Caption(), "");
    EXPECT_FALSE(w().Frame2.Visible());
}
