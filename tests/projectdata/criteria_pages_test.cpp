// The project window's criteria pages, driven through the tab strip.
#include <gtest/gtest.h>

#include <memory>

#include "projectdata/form3.h"
#include "platform/ui/testing.h"

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
    ASSERT_EQ(w().TabStrip1.TabCount(), 7);
    EXPECT_EQ(w().TabStrip1.TabCaption(7), "Storm");
    EXPECT_EQ(w().TabStrip1.TabKey(2), "mnucriteria");
    struct Case { const char* typed; const char* left; int nextTab; };
    const Case cases[] = {{"0", "1", 3},      {"", "1", 7},   {"abc", "1", 1}, {"0.00", "1", 5},
                          {"-2", "-2", 3},    {"3.5", "3.5", 7}, {".5x", ".5x", 1}};
    for (const Case& c : cases) {
        Tab(2);
        ASSERT_EQ(w().Label2(5).Caption(), "Load Factor");
        w().Text2(5).Text(c.typed);
        Tab(c.nextTab);
        EXPECT_EQ(w().Text2(5).Text(), c.left) << c.typed << " then tab " << c.nextTab;
    }
    // On the Title page the rule does not apply.
    Tab(1);
    w().Text2(2).Text("0");
    w().Text2(5).Text("0");
    Tab(3);
    EXPECT_EQ(w().Text2(5).Text(), "0");
}

TEST_F(CriteriaPagesTest, TitleCriteriaAndStormPages) {
    Tab(1);
    EXPECT_EQ(w().Frame3.Caption(), "Title");
    EXPECT_TRUE(w().Frame3.Visible());
    EXPECT_EQ(w().Label2(0).Caption(), "Project :");
    EXPECT_EQ(w().Label2(2).Caption(), "Date ");
    for (int i = 0; i <= 14; ++i) {
        EXPECT_EQ(w().Text2(i).Visible(), i <= 3) << i;
        EXPECT_EQ(w().Text2(i).TabStop(), i <= 3) << i;
        EXPECT_EQ(w().Text2(i).Enabled(), i <= 3) << i;
    }

    w().Text2(7).Text("typed");
    Tab(2);
    EXPECT_EQ(w().Frame3.Caption(), "Basic Criteria");
    for (int i = 0; i <= 14; ++i) {
        EXPECT_TRUE(w().Text2(i).Visible()) << i;
        EXPECT_TRUE(w().Text2(i).TabStop()) << i;
        EXPECT_EQ(w().Text2(i).Text(), "") << i;
    }
    EXPECT_EQ(w().Label2(14).Caption(), "Min QD");
    EXPECT_EQ(w().Label2(3).Caption(), "Connect2");
    EXPECT_FALSE(w().Label2(3).Visible());   // hidden since the Title page

    w().Text2(17).Text("kept");
    w().Text2(18).Text("gone");
    Tab(7);
    EXPECT_TRUE(w().Frame3.Visible());
    EXPECT_TRUE(w().Frame6.Visible());
    EXPECT_EQ(w().Frame6.Caption(), "Storm data ");
    EXPECT_EQ(w().Label2(17).Caption(), "Note:  I =A /(T + C)^ B");
    EXPECT_EQ(w().Label2(29).Caption(), "Return period :");
    EXPECT_EQ(w().Label2(15).Caption(), "");
    EXPECT_EQ(w().Text2(17).Text(), "kept");
    EXPECT_EQ(w().Text2(18).Text(), "");
}

TEST_F(CriteriaPagesTest, PopulationInfiltrationAndInflowPages) {
    for (int i = 0; i <= 5; ++i) w().Text1(i).Text("t" + std::to_string(i));
    Tab(3);
    EXPECT_EQ(w().Frame1.Caption(), "Population1");
    EXPECT_FALSE(w().Frame3.Visible());
    EXPECT_FALSE(w().Frame2.Visible());
    EXPECT_EQ(w().Option1(3).Caption(), "Density Curve");
    for (int i = 0; i <= 5; ++i) EXPECT_FALSE(w().Text1(i).Visible()) << i;

    // Leaving Population1 shows Text1(3); Infiltration shows (0) to (3).
    Tab(5);
    EXPECT_EQ(w().Frame1.Caption(), "Infiltration");
    EXPECT_TRUE(w().Frame2.Visible());
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(w().Text1(i).Visible(), i <= 3) << i;
    EXPECT_EQ(w().Text1(0).Text(), "");
    EXPECT_EQ(w().Text1(1).Text(), "");
    EXPECT_EQ(w().Text1(2).Text(), "t2");
    EXPECT_TRUE(w().Option1(0).Value());
    EXPECT_TRUE(w().Option2(0).Value());
    EXPECT_EQ(w().Label1.Caption(), "First");
    EXPECT_EQ(w().Label3.Caption(), "END");
    EXPECT_EQ(w().Label4.Caption(), " ");
    EXPECT_EQ(w().Option1(1).Caption(), "M3/(d)(cm of dia)(km)");

    // Leaving Infiltration hides Text1(3); Inflow selects nothing and keeps
    // the texts.
    w().Option1(2).Value(true);
    w().Text1(1).Text("q");
    Tab(6);
    EXPECT_FALSE(w().Text1(3).Visible());
    EXPECT_EQ(w().Frame1.Caption(), "Inflow");
    EXPECT_TRUE(w().Option1(2).Value());
    EXPECT_EQ(w().Text1(1).Text(), "q");
    EXPECT_EQ(w().Label4.Caption(), "");
    EXPECT_EQ(w().Option1(3).Caption(), "Percent of Peak Flow");

    Tab(4);
    EXPECT_EQ(w().Frame1.Caption(), "Population2");
    EXPECT_FALSE(w().Frame2.Visible());
    for (int i = 0; i <= 3; ++i) EXPECT_FALSE(w().Text1(i).Visible()) << i;
    for (vb::Label* l : {&w().Label1, &w().Label3, &w().Label4, &w().Label5}) EXPECT_EQ(l->Caption(), "");
    EXPECT_EQ(w().Label6.Caption(), "Area3 :");
}
