#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/script/scriptcontrol.h"

namespace {

struct Shown {
    std::string prompt;
    int buttons;
    std::string title;
};

// A script control whose message boxes are recorded and answered with `answer`.
struct Runner {
    vb::ScriptControl sc;
    std::vector<Shown> shown;
    int answer = 1;
    Runner() {
        sc.SetMsgBoxHandler([this](const std::string& p, int b, const std::string& t) {
            shown.push_back({p, b, t});
            return answer;
        });
    }
    // Runs a script that ends with "MsgBox <expr>" and returns what it showed.
    std::string Show(const std::string& expr) {
        shown.clear();
        sc.ExecuteStatement("MsgBox " + expr);
        EXPECT_EQ(shown.size(), 1u) << expr;
        return shown.empty() ? std::string("<none>") : shown.back().prompt;
    }
    // Runs a script and returns the prompt of the last message box shown so far.
    std::string Run(const std::string& script) {
        sc.ExecuteStatement(script);
        return shown.empty() ? std::string("<none>") : shown.back().prompt;
    }
};

vb::ScriptError Failure(vb::ScriptControl& sc, const std::string& text) {
    try {
        sc.ExecuteStatement(text);
    } catch (const vb::ScriptError& e) {
        return e;
    }
    ADD_FAILURE() << "no error from: " << text;
    return vb::ScriptError(0, "", 0, false);
}

TEST(ScriptControl, SampleShowsFiveAndCommentsAreSkipped) {
    Runner r;
    r.sc.ExecuteStatement("'//Code:\r\na=5\r\nMsgbox a\r\n");
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].prompt, "5");
    EXPECT_EQ(r.shown[0].buttons, 0);
    // Variables of the global scope live on into the next call.
    EXPECT_EQ(r.Show("a * 2"), "10");
    r.sc.Reset();
    EXPECT_EQ(r.Show("IsEmpty(a)"), "True");
    EXPECT_EQ(r.sc.Language(), "VBScript");
    EXPECT_THROW(r.sc.SetLanguage("JScript"), vb::VbError);
}

TEST(ScriptControl, SyntaxErrorsStopBeforeAnythingRuns) {
    Runner r;
    auto e = Failure(r.sc, "MsgBox 1\r\nx = (2 +\r\n");
    EXPECT_TRUE(e.IsCompileError());
    EXPECT_EQ(e.Line(), 2);
    EXPECT_TRUE(r.shown.empty());   // the first line never ran

    EXPECT_EQ(Failure(r.sc, "If 1 = 1 Then\r\nMsgBox 1\r\n").Number(), 1014);   // no End If
    EXPECT_EQ(Failure(r.sc, "For i = 1 To 3\r\n").Number(), 1020);
    EXPECT_EQ(Failure(r.sc, "Do\r\nx = 1\r\n").Number(), 1019);
    EXPECT_EQ(Failure(r.sc, "Exit For").Number(), 1039);
    EXPECT_EQ(Failure(r.sc, "x = \"abc").Number(), 1033);
    EXPECT_EQ(Failure(r.sc, "x = 1 y = 2").Number(), 1025);
    EXPECT_EQ(Failure(r.sc, "Next").Number(), 1024);
    EXPECT_EQ(Failure(r.sc, "x = 1 $ 2").Number(), 1002);
    EXPECT_EQ(Failure(r.sc, "MsgBox(1, 2)").Number(), 1006);   // parentheses round a procedure's arguments
    EXPECT_TRUE(r.shown.empty());
}

TEST(ScriptControl, RunTimeErrorsCarryNumberAndLine) {
    Runner r;
    auto e = Failure(r.sc, "a = 1\r\n\r\nb = a / 0\r\nMsgBox b");
    EXPECT_FALSE(e.IsCompileError());
    EXPECT_EQ(e.Number(), 11);
    EXPECT_EQ(e.Line(), 3);
    EXPECT_TRUE(r.shown.empty());

    EXPECT_EQ(Failure(r.sc, "x = \"abc\" * 2").Number(), 13);
    EXPECT_EQ(Failure(r.sc, "x = Sqr(-1)").Number(), 5);
    EXPECT_EQ(Failure(r.sc, "x = Len(\"a\", 2)").Number(), 450);
    EXPECT_EQ(Failure(r.sc, "x = Frobnicate(2)").Number(), 13);
    EXPECT_EQ(Failure(r.sc, "vbCrLf = 2").Number(), 501);
    EXPECT_EQ(Failure(r.sc, "x = CInt(40000)").Number(), 6);
    // An error inside a block names the line of the failing statement.
    auto inner = Failure(r.sc, "For i = 1 To 3\r\n  If i = 2 Then\r\n    y = Mid(\"abc\", 0)\r\n  End If\r\nNext");
    EXPECT_EQ(inner.Number(), 5);
    EXPECT_EQ(inner.Line(), 3);
    // Option Explicit refuses names that were not declared.
    auto undeclared = Failure(r.sc, "Option Explicit\r\nDim a\r\na = 1\r\nb = 2");
    EXPECT_EQ(undeclared.Number(), 500);
    EXPECT_EQ(undeclared.Line(), 4);
}

TEST(ScriptControl, OperatorsFollowTheLanguage) {
    Runner r;
    EXPECT_EQ(r.Show("1 + 2 * 3"), "7");
    EXPECT_EQ(r.Show("2 ^ 3 ^ 2"), "64");          // left to right
    EXPECT_EQ(r.Show("-2 ^ 2"), "-4");             // ^ binds tighter than unary minus
    EXPECT_EQ(r.Show("2 ^ -1"), "0.5");
    EXPECT_EQ(r.Show("7 / 2"), "3.5");
    EXPECT_EQ(r.Show("7 \\ 2"), "3");
    EXPECT_EQ(r.Show("-7 \\ 2"), "-3");
    EXPECT_EQ(r.Show("7.5 \\ 2"), "4");            // operands rounded half to even: 8 \ 2
    EXPECT_EQ(r.Show("-7 Mod 3"), "-1");
    EXPECT_EQ(r.Show("10 Mod 3 + 1"), "2");
    EXPECT_EQ(r.Show("\"2\" + 3"), "5");
    EXPECT_EQ(r.Show("\"2\" + \"3\""), "23");
    EXPECT_EQ(r.Show("\"a\" & 1 + 2"), "a3");      // & below +
    EXPECT_EQ(r.Show("1 & 2"), "12");
    EXPECT_EQ(r.Show("0.1 + 0.2"), "0.3");         // 15 significant digits
    EXPECT_EQ(r.Show("32767 + 1"), "32768");       // Integer overflows into Long
    EXPECT_EQ(r.Show("TypeName(32767 + 1)"), "Long");
    EXPECT_EQ(r.Show("TypeName(2147483647 + 1)"), "Double");
    EXPECT_EQ(r.Show("1 < 2"), "True");
    EXPECT_EQ(r.Show("\"abc\" < \"abd\""), "True");
    EXPECT_EQ(r.Show("\"B\" < \"a\""), "True");    // binary comparison
    EXPECT_EQ(r.Show("\"10\" = 10"), "True");
    EXPECT_EQ(r.Show("5 < \"x\""), "True");
    EXPECT_EQ(r.Show("3 <> 3"), "False");
    EXPECT_EQ(r.Show("2 >= 2 And 1 <= 0"), "False");
    EXPECT_EQ(r.Show("Not 1 = 2 Or False"), "True");
    EXPECT_EQ(r.Show("True Xor True"), "False");
    EXPECT_EQ(r.Show("6 And 3"), "2");
    EXPECT_EQ(r.Show("6 Or 3"), "7");
    EXPECT_EQ(r.Show("6 Xor 3"), "5");
    EXPECT_EQ(r.Show("Not 0"), "-1");
    EXPECT_EQ(r.Show("&HFF + 1"), "256");
    EXPECT_EQ(r.Show("1.5E3"), "1500");
    EXPECT_EQ(r.Show("\"say \"\"hi\"\"\""), "say \"hi\"");
    EXPECT_EQ(r.Show("IsNull(Null + 1)"), "True");
    EXPECT_EQ(r.Show("x_never_set & \"|\""), "|");   // an unset variable is Empty
}

TEST(ScriptControl, ControlFlow) {
    Runner r;
    EXPECT_EQ(r.Run(
        "s = 0\r\n"
        "For i = 1 To 10\r\n"
        "  If i Mod 2 = 0 Then\r\n"
        "    s = s + i\r\n"
        "  ElseIf i = 5 Then\r\n"
        "    s = s + 100\r\n"
        "  Else\r\n"
        "    s = s - 1\r\n"
        "  End If\r\n"
        "Next i\r\n"
        "MsgBox s"), "126");   // 2+4+6+8+10 + 100 - 4

    EXPECT_EQ(r.Show("i"), "11");   // the counter stands past the end

    EXPECT_EQ(r.Run("t = \"\"\r\nFor k = 10 To 1 Step -3: t = t & k & \",\": Next\r\nMsgBox t"), "10,7,4,1,");
    EXPECT_EQ(r.Run("n = 0\r\nFor k = 1 To 0\r\nn = n + 1\r\nNext\r\nMsgBox n"), "0");
    EXPECT_EQ(r.Run("n = 0\r\nFor k = 0 To 1 Step 0.25\r\nn = n + 1\r\nNext\r\nMsgBox n"), "5");

    // Do loops with the test at either end.
    EXPECT_EQ(r.Run("n = 0\r\nDo While n < 3\r\nn = n + 1\r\nLoop\r\nMsgBox n"), "3");
    // The body runs once before the test.
    EXPECT_EQ(r.Run("n = 10\r\nDo\r\nn = n + 1\r\nLoop Until n > 5\r\nMsgBox n"), "11");
    EXPECT_EQ(r.Run("n = 10\r\nDo Until n > 5\r\nn = n + 1\r\nLoop\r\nMsgBox n"), "10");
    EXPECT_EQ(r.Run("n = 0\r\nDo\r\nn = n + 1\r\nLoop While n < 4\r\nMsgBox n"), "4");
    EXPECT_EQ(r.Run("n = 0\r\nWhile n < 7\r\nn = n + 2\r\nWend\r\nMsgBox n"), "8");

    // Exit leaves only the innermost loop of its kind.
    EXPECT_EQ(r.Run(
        "c = 0\r\n"
        "For i = 1 To 3\r\n"
        "  Do\r\n"
        "    c = c + 1\r\n"
        "    If c Mod 2 = 0 Then Exit Do\r\n"
        "  Loop\r\n"
        "  If i = 2 Then Exit For\r\n"
        "Next\r\n"
        "MsgBox c & \"/\" & i"), "4/2");
    EXPECT_EQ(r.Run("Do\r\nFor j = 1 To 5\r\nIf j = 3 Then Exit Do\r\nNext\r\nLoop\r\nMsgBox j"), "3");

    // Single-line If with Else and several statements.
    EXPECT_EQ(r.Run("x = 3: If x > 2 Then y = 1: z = 2 Else y = 9: z = 9\r\nMsgBox y & z"), "12");
    EXPECT_EQ(r.Run("x = 1: If x > 2 Then y = 1: z = 2 Else y = 9: z = 8\r\nMsgBox y & z"), "98");
    EXPECT_EQ(r.Run("If False Then MsgBox \"no\" Else MsgBox \"yes\""), "yes");
    // Line continuation and Rem.
    EXPECT_EQ(r.Run("Rem a remark: MsgBox 1\r\nq = 1 + _\r\n    2\r\nMsgBox q ' trailing comment"), "3");
}

TEST(ScriptControl, DimAndArrays) {
    Runner r;
    EXPECT_EQ(r.Run(
        "Dim a(4), m(2, 3), s\r\n"
        "For i = 0 To UBound(a): a(i) = i * i: Next\r\n"
        "m(2, 3) = \"corner\"\r\n"
        "s = a(4) & m(2, 3) & UBound(m, 2)\r\n"
        "MsgBox s"), "16corner3");
    EXPECT_EQ(Failure(r.sc, "Dim b(2)\r\nb(3) = 1").Number(), 9);
    EXPECT_EQ(Failure(r.sc, "s = 1\r\ns(0) = 1").Number(), 13);
}

TEST(ScriptControl, StringFunctions) {
    Runner r;
    EXPECT_EQ(r.Show("Len(\"hello\")"), "5");
    EXPECT_EQ(r.Show("Left(\"hello\", 2) & Right(\"hello\", 3)"), "hello");
    EXPECT_EQ(r.Show("Mid(\"hello\", 2, 3) & Mid(\"hello\", 4)"), "elllo");
    EXPECT_EQ(r.Show("Left(\"hi\", 10)"), "hi");
    EXPECT_EQ(r.Show("UCase(\"aBc\") & LCase(\"DeF\")"), "ABCdef");
    EXPECT_EQ(r.Show("\"[\" & Trim(\"  x  \") & LTrim(\" y \") & RTrim(\" z \") & \"]\""), "[xy  z]");
    EXPECT_EQ(r.Show("InStr(\"abcabc\", \"c\")"), "3");
    EXPECT_EQ(r.Show("InStr(4, \"abcabc\", \"c\")"), "6");
    EXPECT_EQ(r.Show("InStr(\"abc\", \"z\")"), "0");
    EXPECT_EQ(r.Show("InStr(1, \"ABC\", \"b\", 1)"), "2");
    EXPECT_EQ(r.Show("Replace(\"a-b-c\", \"-\", \"+\")"), "a+b+c");
    EXPECT_EQ(r.Show("Replace(\"a-b-c\", \"-\", \"\", 1, 1)"), "ab-c");
    EXPECT_EQ(r.Show("\"[\" & Space(3) & \"]\""), "[   ]");
    EXPECT_EQ(r.Show("String(3, \"xy\") & String(2, 65)"), "xxxAA");
    EXPECT_EQ(r.Show("Chr(65) & Asc(\"a\")"), "A97");
    EXPECT_EQ(r.Show("Len(\"a\" & vbCrLf & \"b\")"), "4");
    EXPECT_EQ(Failure(r.sc, "x = Asc(\"\")").Number(), 5);
    EXPECT_EQ(Failure(r.sc, "x = Left(\"abc\", -1)").Number(), 5);
    EXPECT_EQ(Failure(r.sc, "x = Space(1E9)").Number(), 7);
    EXPECT_EQ(Failure(r.sc, "s = \"ab\"\r\nDo\r\ns = s & s\r\nLoop").Number(), 7);
    EXPECT_EQ(Failure(r.sc, "s = \"ab\"\r\nDo\r\ns = s + s\r\nLoop").Number(), 7);
}

TEST(ScriptControl, ConversionAndMathFunctions) {
    Runner r;
    EXPECT_EQ(r.Show("CInt(2.5) & CInt(3.5) & CLng(\"12\")"), "2412");   // half to even
    EXPECT_EQ(r.Show("CDbl(\"1.25\") * 2"), "2.5");
    EXPECT_EQ(r.Show("CStr(1 / 4)"), "0.25");
    EXPECT_EQ(r.Show("Int(-2.5) & \" \" & Fix(-2.5)"), "-3 -2");
    EXPECT_EQ(r.Show("Abs(-4) + Sqr(16)"), "8");
    EXPECT_EQ(r.Show("Round(2.5) & Round(3.5) & \" \" & Round(2.675, 2)"), "24 2.68");
    EXPECT_EQ(r.Show("Round(Atn(1) * 4, 4)"), "3.1416");
    EXPECT_EQ(r.Show("Round(Sin(0) + Cos(0) + Tan(0), 6)"), "1");
    EXPECT_EQ(r.Show("Round(Log(Exp(2)), 10)"), "2");
    EXPECT_EQ(r.Show("IsNumeric(\"1e3\") & IsNumeric(\"abc\")"), "TrueFalse");
    EXPECT_EQ(r.Show("Rnd >= 0 And Rnd < 1"), "True");
    // A negative argument reseeds.
    EXPECT_EQ(r.Run("a = Rnd(-1): b = Rnd: c = Rnd(-1): d = Rnd\r\nMsgBox b = d"), "True");
    EXPECT_EQ(Failure(r.sc, "x = Log(0)").Number(), 5);
    EXPECT_EQ(Failure(r.sc, "x = Exp(1000)").Number(), 6);
}

TEST(ScriptControl, MsgBoxArgumentsAndResult) {
    Runner r;
    r.answer = 6;
    r.sc.ExecuteStatement("ans = MsgBox(\"Go on?\", vbYesNo + vbQuestion, \"Ask\")\r\nIf ans = vbYes Then MsgBox \"yes\"");
    ASSERT_EQ(r.shown.size(), 2u);
    EXPECT_EQ(r.shown[0].prompt, "Go on?");
    EXPECT_EQ(r.shown[0].buttons, 36);
    EXPECT_EQ(r.shown[0].title, "Ask");
    EXPECT_EQ(r.shown[1].prompt, "yes");
    EXPECT_EQ(r.Run("Call MsgBox(\"called\", 64)"), "called");
    EXPECT_EQ(r.shown.back().buttons, 64);
    EXPECT_EQ(r.Show("(1 + 2) * 3"), "9");   // a parenthesised first argument
    // Without a host handler a message box shows nothing and answers OK.
    vb::ScriptControl bare;
    EXPECT_NO_THROW(bare.ExecuteStatement("x = MsgBox(\"hi\")\r\nIf x <> 1 Then y = 1 / 0"));
}

TEST(ScriptControl, EndlessLoopTimesOut) {
    Runner r;
    r.sc.SetTimeout(100);
    auto e = Failure(r.sc, "n = 0\r\nDo\r\nn = n + 1\r\nLoop");
    EXPECT_EQ(e.Number(), vb::errScriptTimedOut);
    // Time spent in a message box is the user's, not the script's.
    r.sc.SetMsgBoxHandler([](const std::string&, int, const std::string&) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
        while (std::chrono::steady_clock::now() < until) {
        }
        return 1;
    });
    EXPECT_NO_THROW(r.sc.ExecuteStatement("For i = 1 To 2000: If i = 1 Then MsgBox i\r\nNext"));
}

TEST(ScriptControl, TheTimeLimitIsCheckedAtEveryStatement) {
    // With no time at all not even the first statement runs.
    Runner r;
    r.sc.SetTimeout(0);
    EXPECT_EQ(Failure(r.sc, "x = 1\r\nMsgBox x").Number(), vb::errScriptTimedOut);
    EXPECT_TRUE(r.shown.empty());
    r.sc.SetTimeout(-1);
    EXPECT_EQ(r.Run("MsgBox x"), "");
}

TEST(ScriptControl, AllVariablesTogetherHoldAtMostTheCap) {
    {
        // Four arrays of 80 MB each: each alone is allowed, together too much.
        Runner r;
        auto e = Failure(r.sc, "Dim a(999999), b(999999), c(999999), d(999999)\r\nMsgBox 1");
        EXPECT_EQ(e.Number(), 7);
        EXPECT_EQ(e.Description(), "Out of memory");
        EXPECT_TRUE(r.shown.empty());
        // What the failed statement did not make is not counted: two more
        // arrays of that size would not fit beside the three made.
        EXPECT_EQ(Failure(r.sc, "Dim e(999999)").Number(), 7);
        r.sc.Reset();
        EXPECT_NO_THROW(r.sc.ExecuteStatement("Dim e(999999), f(999999)"));
    }
    {
        // Texts kept in array elements count as well.
        Runner r;
        auto e = Failure(r.sc, "Dim t(9)\r\nFor i = 0 To 9: t(i) = String(40000000, \"x\"): n = i: Next");
        EXPECT_EQ(e.Number(), 7);
        EXPECT_EQ(r.Show("n"), "5");
    }
    {
        // Memory given back by overwriting is free again.
        Runner r;
        EXPECT_EQ(r.Run("For i = 1 To 5: s = String(60000000, \"x\"): Dim a(999999): Dim b(1): b(1) = s: Next\r\n"
                        "MsgBox Len(s) + UBound(a)"),
                  "60999999");
    }
}

}  // namespace

namespace {

TEST(ScriptControl, DeepNestingIsRefusedNotFatal) {
    vb::ScriptControl sc;
    std::string deep = "x = " + std::string(5000, '(') + "1" + std::string(5000, ')');
    auto e = Failure(sc, deep);
    EXPECT_EQ(e.Number(), 28);
    EXPECT_TRUE(e.IsCompileError());
    std::string negs = "x = " + std::string(5000, '-') + "1";
    EXPECT_EQ(Failure(sc, negs).Number(), 28);
    std::string ifs;
    for (int i = 0; i < 3000; ++i) ifs += "If 1 Then\r\n";
    EXPECT_EQ(Failure(sc, ifs).Number(), 28);
    // Ordinary nesting is fine.
    EXPECT_NO_THROW(sc.ExecuteStatement("x = " + std::string(50, '(') + "1" + std::string(50, ')')));
}

TEST(ScriptControl, LongOperatorChainsAreRefusedNotFatal) {
    Runner r;
    // A chain is parsed in a loop but evaluated recursively: a pasted
    // expression of this length used to overflow the stack.
    std::string chain = "x = 1";
    for (int i = 0; i < 300000; ++i) chain += " + 1";
    auto e = Failure(r.sc, chain);
    EXPECT_EQ(e.Number(), 28);
    EXPECT_TRUE(e.IsCompileError());
    std::string joins = "x = \"a\"";
    for (int i = 0; i < 300000; ++i) joins += " & \"a\"";
    EXPECT_EQ(Failure(r.sc, joins).Number(), 28);
    std::string calls = "x = 1";
    for (int i = 0; i < 5000; ++i) calls = "x = Abs(" + calls.substr(4) + ")";
    EXPECT_EQ(Failure(r.sc, calls).Number(), 28);
    // A long but reasonable sum still runs.
    std::string sum = "1";
    for (int i = 0; i < 999; ++i) sum += " + 1";
    EXPECT_EQ(r.Show(sum), "1000");
}

}  // namespace
