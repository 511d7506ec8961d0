#include "dialog/about_page_win32.h"

#include <optional>
#include <string>

#include "dialog/version_info.h"
#include "platform/dpi.h"
#include "res/resource.h"

namespace vl {
namespace {

enum ControlId : int { kPicture = 500, kTitle, kVersion, kDescription, kDisclaimer, kLineTop, kLineBottom };
constexpr int kPictureWidth = 93, kPictureHeight = 116;  // pixels at 96 DPI

constexpr wchar_t kTitleText[] = L"Corvane Vigilumen";
constexpr wchar_t kDescriptionText[] =
    L"Transparent screen saver.\r\nUse your favourite screen saver and never miss any notification about important "
    L"event!";
constexpr wchar_t kDisclaimerText[] =
    L"This program is provided \"as is\", without warranty of any kind. Copyright (C) 2026 Corvane. "
    L"All rights reserved.";

std::optional<FileVersion> OwnVersion() {
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(self, MAKEINTRESOURCE(1), MAKEINTRESOURCE(16));  // VS_VERSION_INFO, RT_VERSION
    if (!found) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(self, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return std::nullopt;
    return ParseFileVersion(std::string_view(static_cast<const char*>(data), ::SizeofResource(self, found)));
}

}  // namespace

void AboutPage::Create() {
    const TwipsScale& t = host_.Twips();
    HFONT font = host_.Font();
    frame_ = CreatePageFrame(host_.FormWindow(), this, t, {kPageParkedLeft, 540, kPageWidth, kPageHeight - 90});
    picture_ = CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE, {90, 225, 1425, 1770},
                             kPicture, font, t);
    title_ = CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, {1665, 225, 3075, 480}, kTitle,
                           nullptr, t);
    DpiChanged();
    version_ = CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, {1665, 765, 3030, 225},
                             kVersion, font, t);
    description_ = CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, {1665, 1125, 3120, 1170},
                                 kDescription, font, t);
    // Two etched separators: between the texts at the top and the middle,
    // and just above the legal notice.
    CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, {90, 2160, 4605, 30}, kLineTop, font, t);
    CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, {90, 3735, 4605, 30}, kLineBottom, font, t);
    disclaimer_ = CreateControl(frame_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, {135, 3870, 4635, 915},
                                kDisclaimer, font, t);
}

// The picture at the size this DPI calls for, and the title half as large
// again as the dialog's font, in bold.
void AboutPage::DpiChanged() {
    const int dpi = host_.Twips().Dpi();
    UniqueBitmap picture(static_cast<HBITMAP>(::LoadImageW(host_.Instance(), MAKEINTRESOURCE(IDB_ABOUT), IMAGE_BITMAP,
                                                           ScaleToDpi(kPictureWidth, dpi),
                                                           ScaleToDpi(kPictureHeight, dpi), LR_DEFAULTCOLOR)));
    if (picture) {
        ::SendMessageW(picture_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()));
        productPicture_ = std::move(picture);
    }
    LOGFONTW lf{};
    if (!::GetObjectW(host_.Font(), sizeof lf, &lf)) return;
    lf.lfHeight = lf.lfHeight * 3 / 2;
    lf.lfWeight = FW_BOLD;
    UniqueFont title(::CreateFontIndirectW(&lf));
    if (!title) return;
    ::SendMessageW(title_, WM_SETFONT, reinterpret_cast<WPARAM>(title.get()), TRUE);
    titleFont_ = std::move(title);
}

void AboutPage::FillTexts() {
    SetControlText(version_, VersionLine(OwnVersion().value_or(FileVersion{})));
    SetControlText(title_, kTitleText);
    SetControlText(description_, kDescriptionText);
    SetControlText(disclaimer_, kDisclaimerText);
}

}  // namespace vl
