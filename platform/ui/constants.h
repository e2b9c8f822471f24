// Named constants of the window system: key codes, mouse buttons and shift
// bits, message-box styles and results, mouse pointers, colours and the
// drawing styles of picture boxes.  The values are the runtime's own, so that
// handlers compare against the numbers they have always compared against.
#pragma once

#include <cstdint>

namespace vb {

// --- Mouse buttons and shift state as events report them ------------------
inline constexpr int vbLeftButton = 1;
inline constexpr int vbRightButton = 2;
inline constexpr int vbMiddleButton = 4;
inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

// --- Key codes (KeyDown/KeyUp) ---------------------------------------------
// Letters are their upper-case character codes ('A' = 65), digits their
// character codes ('0' = 48).
inline constexpr int vbKeyLButton = 1;
inline constexpr int vbKeyRButton = 2;
inline constexpr int vbKeyCancel = 3;
inline constexpr int vbKeyMButton = 4;
inline constexpr int vbKeyBack = 8;
inline constexpr int vbKeyTab = 9;
inline constexpr int vbKeyClear = 12;
inline constexpr int vbKeyReturn = 13;
inline constexpr int vbKeyShift = 16;
inline constexpr int vbKeyControl = 17;
inline constexpr int vbKeyMenu = 18;
inline constexpr int vbKeyPause = 19;
inline constexpr int vbKeyCapital = 20;
inline constexpr int vbKeyEscape = 27;
inline constexpr int vbKeySpace = 32;
inline constexpr int vbKeyPageUp = 33;
inline constexpr int vbKeyPageDown = 34;
inline constexpr int vbKeyEnd = 35;
inline constexpr int vbKeyHome = 36;
inline constexpr int vbKeyLeft = 37;
inline constexpr int vbKeyUp = 38;
inline constexpr int vbKeyRight = 39;
inline constexpr int vbKeyDown = 40;
inline constexpr int vbKeySelect = 41;
inline constexpr int vbKeyPrint = 42;
inline constexpr int vbKeyExecute = 43;
inline constexpr int vbKeySnapshot = 44;
inline constexpr int vbKeyInsert = 45;
inline constexpr int vbKeyDelete = 46;
inline constexpr int vbKeyHelp = 47;
inline constexpr int vbKey0 = 48; inline constexpr int vbKey1 = 49; inline constexpr int vbKey2 = 50; inline constexpr int vbKey3 = 51; inline constexpr int vbKey4 = 52; inline constexpr int vbKey5 = 53; inline constexpr int vbKey6 = 54; inline constexpr int vbKey7 = 55; inline constexpr int vbKey8 = 56; inline constexpr int vbKey9 = 57;
inline constexpr int vbKeyA = 65; inline constexpr int vbKeyB = 66; inline constexpr int vbKeyC = 67; inline constexpr int vbKeyD = 68; inline constexpr int vbKeyE = 69; inline constexpr int vbKeyF = 70; inline constexpr int vbKeyG = 71; inline constexpr int vbKeyH = 72; inline constexpr int vbKeyI = 73; inline constexpr int vbKeyJ = 74;
inline constexpr int vbKeyK = 75; inline constexpr int vbKeyL = 76; inline constexpr int vbKeyM = 77; inline constexpr int vbKeyN = 78; inline constexpr int vbKeyO = 79; inline constexpr int vbKeyP = 80; inline constexpr int vbKeyQ = 81; inline constexpr int vbKeyR = 82; inline constexpr int vbKeyS = 83; inline constexpr int vbKeyT = 84;
inline constexpr int vbKeyU = 85; inline constexpr int vbKeyV = 86; inline constexpr int vbKeyW = 87; inline constexpr int vbKeyX = 88; inline constexpr int vbKeyY = 89; inline constexpr int vbKeyZ = 90;
inline constexpr int vbKeyNumpad0 = 96; inline constexpr int vbKeyNumpad1 = 97; inline constexpr int vbKeyNumpad2 = 98; inline constexpr int vbKeyNumpad3 = 99; inline constexpr int vbKeyNumpad4 = 100;
inline constexpr int vbKeyNumpad5 = 101; inline constexpr int vbKeyNumpad6 = 102; inline constexpr int vbKeyNumpad7 = 103; inline constexpr int vbKeyNumpad8 = 104; inline constexpr int vbKeyNumpad9 = 105;
inline constexpr int vbKeyMultiply = 106;
inline constexpr int vbKeyAdd = 107;
inline constexpr int vbKeySeparator = 108;
inline constexpr int vbKeySubtract = 109;
inline constexpr int vbKeyDecimal = 110;
inline constexpr int vbKeyDivide = 111;
inline constexpr int vbKeyF1 = 112; inline constexpr int vbKeyF2 = 113; inline constexpr int vbKeyF3 = 114; inline constexpr int vbKeyF4 = 115; inline constexpr int vbKeyF5 = 116; inline constexpr int vbKeyF6 = 117; inline constexpr int vbKeyF7 = 118; inline constexpr int vbKeyF8 = 119;
inline constexpr int vbKeyF9 = 120; inline constexpr int vbKeyF10 = 121; inline constexpr int vbKeyF11 = 122; inline constexpr int vbKeyF12 = 123;
inline constexpr int vbKeyNumlock = 144;

// --- Message boxes ---------------------------------------------------------
// buttons (low four bits)
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
// icon
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// default button
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;
inline constexpr int vbApplicationModal = 0;
inline constexpr int vbSystemModal = 4096;
// Results of MsgBox.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// --- Form.Show and Form.WindowState ----------------------------------------
inline constexpr int vbModeless = 0;
inline constexpr int vbModal = 1;
inline constexpr int vbNormal = 0;
inline constexpr int vbMinimized = 1;
inline constexpr int vbMaximized = 2;

// --- ZOrder ----------------------------------------------------------------
inline constexpr int vbBringToFront = 0;
inline constexpr int vbSendToBack = 1;

// --- Mouse pointers (MousePointer) ------------------------------------------
inline constexpr int vbDefault = 0;
inline constexpr int vbArrow = 1;
inline constexpr int vbCrosshair = 2;
inline constexpr int vbIbeam = 3;
inline constexpr int vbIconPointer = 4;
inline constexpr int vbSizePointer = 5;
inline constexpr int vbSizeNESW = 6;
inline constexpr int vbSizeNS = 7;
inline constexpr int vbSizeNWSE = 8;
inline constexpr int vbSizeWE = 9;
inline constexpr int vbUpArrow = 10;
inline constexpr int vbHourglass = 11;
inline constexpr int vbNoDrop = 12;
inline constexpr int vbArrowHourglass = 13;
inline constexpr int vbArrowQuestion = 14;
inline constexpr int vbSizeAll = 15;
inline constexpr int vbCustom = 99;

// --- Scale modes --------------------------------------------------------------
inline constexpr int vbUser = 0;
inline constexpr int vbTwips = 1;
inline constexpr int vbPoints = 2;
inline constexpr int vbPixels = 3;

// --- Drawing: DrawStyle, FillStyle, DrawMode ------------------------------------
inline constexpr int vbSolid = 0;
inline constexpr int vbDash = 1;
inline constexpr int vbDot = 2;
inline constexpr int vbDashDot = 3;
inline constexpr int vbDashDotDot = 4;
inline constexpr int vbInvisible = 5;
inline constexpr int vbInsideSolid = 6;
inline constexpr int vbFSSolid = 0;
inline constexpr int vbFSTransparent = 1;
inline constexpr int vbHorizontalLine = 2;
inline constexpr int vbVerticalLine = 3;
inline constexpr int vbUpwardDiagonal = 4;
inline constexpr int vbDownwardDiagonal = 5;
inline constexpr int vbCross = 6;
inline constexpr int vbDiagonalCross = 7;
inline constexpr int vbBlackness = 1;
inline constexpr int vbNotMergePen = 2;
inline constexpr int vbMaskNotPen = 3;
inline constexpr int vbNotCopyPen = 4;
inline constexpr int vbMaskPenNot = 5;
inline constexpr int vbInvert = 6;
inline constexpr int vbXorPen = 7;
inline constexpr int vbNotMaskPen = 8;
inline constexpr int vbMaskPen = 9;
inline constexpr int vbNotXorPen = 10;
inline constexpr int vbNop = 11;
inline constexpr int vbMergeNotPen = 12;
inline constexpr int vbCopyPen = 13;
inline constexpr int vbMergePenNot = 14;
inline constexpr int vbMergePen = 15;
inline constexpr int vbWhiteness = 16;

// --- Shape control kinds ---------------------------------------------------------
inline constexpr int vbShapeRectangle = 0;
inline constexpr int vbShapeSquare = 1;
inline constexpr int vbShapeOval = 2;
inline constexpr int vbShapeCircle = 3;
inline constexpr int vbShapeRoundedRectangle = 4;
inline constexpr int vbShapeRoundedSquare = 5;

// --- Check box values --------------------------------------------------------------
inline constexpr int vbUnchecked = 0;
inline constexpr int vbChecked = 1;
inline constexpr int vbGrayed = 2;

// --- Colours (&HBBGGRR) -------------------------------------------------------------
constexpr int32_t vbBlack = 0x000000;
constexpr int32_t vbRed = 0x0000FF;
constexpr int32_t vbGreen = 0x00FF00;
constexpr int32_t vbYellow = 0x00FFFF;
constexpr int32_t vbBlue = 0xFF0000;
constexpr int32_t vbMagenta = 0xFF00FF;
constexpr int32_t vbCyan = 0xFFFF00;
constexpr int32_t vbWhite = 0xFFFFFF;

// The system colours: values with the high bit set name a colour of the
// desktop's scheme (&H800000nn).
constexpr int32_t vbScrollBars = static_cast<int32_t>(0x80000000);
constexpr int32_t vbDesktop = static_cast<int32_t>(0x80000001);
constexpr int32_t vbActiveTitleBar = static_cast<int32_t>(0x80000002);
constexpr int32_t vbMenuBar = static_cast<int32_t>(0x80000004);
constexpr int32_t vbWindowBackground = static_cast<int32_t>(0x80000005);
constexpr int32_t vbWindowFrame = static_cast<int32_t>(0x80000006);
constexpr int32_t vbMenuText = static_cast<int32_t>(0x80000007);
constexpr int32_t vbWindowText = static_cast<int32_t>(0x80000008);
constexpr int32_t vbTitleBarText = static_cast<int32_t>(0x80000009);
constexpr int32_t vbHighlight = static_cast<int32_t>(0x8000000D);
constexpr int32_t vbHighlightText = static_cast<int32_t>(0x8000000E);
constexpr int32_t vbButtonFace = static_cast<int32_t>(0x8000000F);
constexpr int32_t vbButtonShadow = static_cast<int32_t>(0x80000010);
constexpr int32_t vbGrayText = static_cast<int32_t>(0x80000011);
constexpr int32_t vbButtonText = static_cast<int32_t>(0x80000012);
constexpr int32_t vbInfoText = static_cast<int32_t>(0x80000017);
constexpr int32_t vbInfoBackground = static_cast<int32_t>(0x80000018);

// RGB(r, g, b) as the runtime builds a colour value.
constexpr int32_t RGB(int r, int g, int b) {
    return static_cast<int32_t>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
// QBColor(n): the sixteen basic colours (0 black ... 15 bright white).
int32_t QBColor(int n);

// Twips per pixel of the screen: the program runs at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

}  // namespace vb
