#include "wizard/AboutDlg.h"

#include "engine/ModuleVersion.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX)
{
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CenterOnOwner();

    LOGFONTA font = {};
    const auto dialogFont = reinterpret_cast<HFONT>(::SendMessageA(GetHwnd(), WM_GETFONT, 0, 0));
    if (dialogFont && ::GetObjectA(dialogFont, sizeof(font), &font) == sizeof(font))
    {
        font.lfHeight = font.lfHeight * 170 / 100;
        m_titleFont.Reset(::CreateFontIndirectA(&font));
        ::SendDlgItemMessageA(GetHwnd(), IDC_ABOUT_TITLE, WM_SETFONT,
                              reinterpret_cast<WPARAM>(m_titleFont.Get()), TRUE);
    }

    // Without a version resource the dialog's own texts stay.
    CModuleVersion version;
    if (version.LoadFromModule(nullptr))
    {
        SetItemText(IDC_ABOUT_VERSION,
                    FormatVersionLine(LoadResourceText(IDS_VERSION_FORMAT), version.dwFileVersionMS,
                                      version.dwFileVersionLS, version.dwFileFlags));
        SetItemText(IDC_ABOUT_COPYRIGHT, GetFirstSentence(version.GetStringValue("LegalCopyright")));
    }
    return TRUE;
}

std::string GetFirstSentence(const std::string& text)
{
    const std::size_t start = text.find_first_not_of('.');
    if (start == std::string::npos)
        return std::string();
    const std::size_t end = text.find('.', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
