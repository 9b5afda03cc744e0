#include "engine/FileInfo.h"

#include "engine/StringIds.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <shlwapi.h>

CFileInfo::CFileInfo(const std::string& source, const std::string& destination,
                     std::unique_ptr<CRegistryEntry> entry, SQueueOrigin origin)
    : m_entry(std::move(entry)), m_source(source), m_destination(destination),
      m_origin(std::move(origin))
{
    m_directory = ::PathIsDirectoryA(m_source.c_str()) != FALSE;
    InferAction();
}

CFileInfo::CFileInfo(const std::string& source, DWORD attributes, const std::string& destination,
                     SQueueOrigin origin)
    : m_source(source), m_destination(destination),
      m_directory((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0), m_origin(std::move(origin))
{
    InferAction();
}

void CFileInfo::InferAction()
{
    InferKind();
    m_protected = IsFileProtected(m_source) || IsFileProtected(m_destination);
}

void CFileInfo::InferKind()
{
    if (m_destination.empty())
        m_action = ActionDelete;
    else if (m_directory || !m_origin.replaceExisting || !::PathFileExistsA(m_destination.c_str()))
        m_action = IsSameFolder(m_source, m_destination) ? ActionRename : ActionMove;
    else
        m_action = ActionReplace;
}

void CFileInfo::StayQueued()
{
    m_errorCode = 0;
    m_status = StatusDelayed;
}

const std::string& CFileInfo::GetReportPath() const
{
    return m_action == ActionDelete ? m_source : m_destination;
}

std::string CFileInfo::GetStatusText() const
{
    switch (m_status)
    {
    case StatusFailed:
        return GetErrorText(m_errorCode);
    case StatusReplaced:
        return LoadResourceText(IDS_ENGINE_STATUS_REPLACED);
    case StatusMoved:
        return LoadResourceText(IDS_ENGINE_STATUS_MOVED);
    case StatusDeleted:
        return LoadResourceText(IDS_ENGINE_STATUS_DELETED);
    case StatusDelayed:
        return LoadResourceText(IDS_ENGINE_STATUS_DELAYED);
    default:
        return LoadResourceText(IDS_ENGINE_STATUS_NOT_DONE);
    }
}

std::string CFileInfo::GetReportText() const
{
    std::string text;
    if (m_entry)
        text = m_entry->GetReportText();
    text += GetReportPath() + "\n" + LoadResourceText(IDS_ENGINE_STATUS_LABEL) + ": " +
            GetStatusText() + "\n\n";
    return text;
}

std::string CFileInfo::GetActionText() const
{
    UINT label = 0;
    switch (m_action)
    {
    case ActionDelete: label = IDS_ENGINE_ACTION_DELETE; break;
    case ActionRename: label = IDS_ENGINE_ACTION_RENAME; break;
    case ActionReplace: label = IDS_ENGINE_ACTION_REPLACE; break;
    case ActionMove: label = IDS_ENGINE_ACTION_MOVE; break;
    default: break;
    }
    const std::string text = label ? LoadResourceText(label) : std::string();
    return text + " " + GetActionPath();
}

const std::string& CFileInfo::GetActionPath() const
{
    return m_action == ActionReplace ? m_destination : m_source;
}

const std::string& CFileInfo::GetTargetPath() const
{
    return m_action == ActionReplace ? m_source : m_destination;
}

std::string CFileInfo::GetTargetText() const
{
    std::string label;
    if (m_action == ActionRename || m_action == ActionMove)
        label = LoadResourceText(IDS_ENGINE_TARGET_TO);
    else if (m_action == ActionReplace)
        label = LoadResourceText(IDS_ENGINE_TARGET_WITH);
    return label + " " + GetTargetPath();
}

std::string CFileInfo::GetRegistryText() const
{
    if (!m_entry)
        return std::string();
    const UINT label = m_action == ActionDelete ? IDS_ENGINE_ACTION_DELETE : IDS_ENGINE_UPDATE_VALUE;
    return LoadResourceText(label) + " " + m_entry->GetIdentity();
}

int CFileInfo::GetImage() const
{
    const int base = m_directory ? 2 : 0;
    return m_status == StatusDeleted ? base + 1 : base;
}

int CFileInfo::GetOverlay() const
{
    switch (m_status)
    {
    case StatusReplaced:
    case StatusMoved:
    case StatusDeleted:
        return 1;
    case StatusFailed:
        return 2;
    case StatusDelayed:
        return 3;
    default:
        return 0;
    }
}
