// Named constants of the window system: key codes, mouse buttons and shift
// bits, message-box styles and results, mouse pointers, colours and the
// drawing styles of picture boxes.  The values are the runtime's own, so that
// handlers compare against the numbers they have always compared against.
#pragma once

#include <cstdint>

namespace vb {

// --- Mouse buttons and shift state as events report them ------------------
enum : int {
    vbLeftButton = 1,
    vbRightButton = 2,
    vbMiddleButton = 4,
};
enum : int {
    vbShiftMask = 1,
    vbCtrlMask = 2,
    vbAltMask = 4,
};

// --- Key codes (KeyDown/KeyUp) ---------------------------------------------
// Letters are their upper-case character codes ('A' = 65), digits their
// character codes ('0' = 48).
enum : int {
    vbKeyLButton = 1,
    vbKeyRButton = 2,
    vbKeyCancel = 3,
    vbKeyMButton = 4,
    vbKeyBack = 8,
    vbKeyTab = 9,
    vbKeyClear = 12,
    vbKeyReturn = 13,
    vbKeyShift = 16,
    vbKeyControl = 17,
    vbKeyMenu = 18,
    vbKeyPause = 19,
    vbKeyCapital = 20,
    vbKeyEscape = 27,
    vbKeySpace = 32,
    vbKeyPageUp = 33,
    vbKeyPageDown = 34,
    vbKeyEnd = 35,
    vbKeyHome = 36,
    vbKeyLeft = 37,
    vbKeyUp = 38,
    vbKeyRight = 39,
    vbKeyDown = 40,
    vbKeySelect = 41,
    vbKeyPrint = 42,
    vbKeyExecute = 43,
    vbKeySnapshot = 44,
    vbKeyInsert = 45,
    vbKeyDelete = 46,
    vbKeyHelp = 47,
    vbKey0 = 48, vbKey1, vbKey2, vbKey3, vbKey4, vbKey5, vbKey6, vbKey7, vbKey8, vbKey9,
    vbKeyA = 65, vbKeyB, vbKeyC, vbKeyD, vbKeyE, vbKeyF, vbKeyG, vbKeyH, vbKeyI, vbKeyJ,
    vbKeyK, vbKeyL, vbKeyM, vbKeyN, vbKeyO, vbKeyP, vbKeyQ, vbKeyR, vbKeyS, vbKeyT,
    vbKeyU, vbKeyV, vbKeyW, vbKeyX, vbKeyY, vbKeyZ,
    vbKeyNumpad0 = 96, vbKeyNumpad1, vbKeyNumpad2, vbKeyNumpad3, vbKeyNumpad4,
    vbKeyNumpad5, vbKeyNumpad6, vbKeyNumpad7, vbKeyNumpad8, vbKeyNumpad9,
    vbKeyMultiply = 106,
    vbKeyAdd = 107,
    vbKeySeparator = 108,
    vbKeySubtract = 109,
    vbKeyDecimal = 110,
    vbKeyDivide = 111,
    vbKeyF1 = 112, vbKeyF2, vbKeyF3, vbKeyF4, vbKeyF5, vbKeyF6, vbKeyF7, vbKeyF8,
    vbKeyF9, vbKeyF10, vbKeyF11, vbKeyF12,
    vbKeyNumlock = 144,
};

// --- Message boxes ---------------------------------------------------------
enum : int {
    // buttons (low four bits)
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    // icon
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    // default button
    vbDefaultButton1 = 0,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
    vbApplicationModal = 0,
    vbSystemModal = 4096,
};
// Results of MsgBox.
enum : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

// --- Form.Show and Form.WindowState ----------------------------------------
enum : int {
    vbModeless = 0,
    vbModal = 1,
};
enum : int {
    vbNormal = 0,
    vbMinimized = 1,
    vbMaximized = 2,
};

// --- ZOrder ----------------------------------------------------------------
enum : int {
    vbBringToFront = 0,
    vbSendToBack = 1,
};

// --- Mouse pointers (MousePointer) ------------------------------------------
enum : int {
    vbDefault = 0,
    vbArrow = 1,
    vbCrosshair = 2,
    vbIbeam = 3,
    vbIconPointer = 4,
    vbSizePointer = 5,
    vbSizeNESW = 6,
    vbSizeNS = 7,
    vbSizeNWSE = 8,
    vbSizeWE = 9,
    vbUpArrow = 10,
    vbHourglass = 11,
    vbNoDrop = 12,
    vbArrowHourglass = 13,
    vbArrowQuestion = 14,
    vbSizeAll = 15,
    vbCustom = 99,
};

// --- Scale modes --------------------------------------------------------------
enum : int {
    vbUser = 0,
    vbTwips = 1,
    vbPoints = 2,
    vbPixels = 3,
};

// --- Drawing: DrawStyle, FillStyle, DrawMode ------------------------------------
enum : int {
    vbSolid = 0,
    vbDash = 1,
    vbDot = 2,
    vbDashDot = 3,
    vbDashDotDot = 4,
    vbInvisible = 5,
    vbInsideSolid = 6,
};
enum : int {
    vbFSSolid = 0,
    vbFSTransparent = 1,
    vbHorizontalLine = 2,
    vbVerticalLine = 3,
    vbUpwardDiagonal = 4,
    vbDownwardDiagonal = 5,
    vbCross = 6,
    vbDiagonalCross = 7,
};
enum : int {
    vbBlackness = 1,
    vbNotMergePen = 2,
    vbMaskNotPen = 3,
    vbNotCopyPen = 4,
    vbMaskPenNot = 5,
    vbInvert = 6,
    vbXorPen = 7,
    vbNotMaskPen = 8,
    vbMaskPen = 9,
    vbNotXorPen = 10,
    vbNop = 11,
    vbMergeNotPen = 12,
    vbCopyPen = 13,
    vbMergePenNot = 14,
    vbMergePen = 15,
    vbWhiteness = 16,
};

// --- Shape control kinds ---------------------------------------------------------
enum : int {
    vbShapeRectangle = 0,
    vbShapeSquare = 1,
    vbShapeOval = 2,
    vbShapeCircle = 3,
    vbShapeRoundedRectangle = 4,
    vbShapeRoundedSquare = 5,
};

// --- Check box values --------------------------------------------------------------
enum : int {
    vbUnchecked = 0,
    vbChecked = 1,
    vbGrayed = 2,
};

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
