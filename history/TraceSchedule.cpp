#include "history/TraceSchedule.h"

#include <oleauto.h>
#include <sddl.h>
#include <taskschd.h>

#include <cwchar>
#include <cwctype>
#include <memory>

#include "common/Handles.h"
#include "engine/RecycleBin.h"
#include "history/TraceRun.h"

namespace {

// The Task Scheduler's class (taskschd.h declares it for import libraries we do not link).
constexpr CLSID kTaskSchedulerClass = {0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};

const wchar_t* const kDayNames[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday",
                                    L"Saturday"};

// One BSTR, freed once.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : text_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return text_; }
    BSTR* out() {
        ::SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    std::wstring str() const { return text_ ? std::wstring(text_, ::SysStringLen(text_)) : std::wstring(); }

private:
    BSTR text_ = nullptr;
};

VARIANT Empty() {
    VARIANT value;
    ::VariantInit(&value);
    return value;
}

std::wstring TwoDigits(int value) {
    wchar_t text[8] = {};
    std::swprintf(text, 8, L"%02d", value);
    return text;
}

// The number of the two digits at `at`; -1 when they are not digits.
int TwoDigitValue(const std::wstring& text, std::size_t at) {
    if (at + 2 > text.size() || !std::iswdigit(text[at]) || !std::iswdigit(text[at + 1])) return -1;
    return (text[at] - L'0') * 10 + (text[at + 1] - L'0');
}

// The text of the first element `name` after `from` (entities resolved); nothing without it.
std::optional<std::wstring> ElementText(const std::wstring& xml, const std::wstring& name, std::size_t from = 0) {
    const std::size_t open = xml.find(L"<" + name + L">", from);
    if (open == std::wstring::npos) return std::nullopt;
    const std::size_t start = open + name.size() + 2;
    const std::size_t end = xml.find(L"</" + name + L">", start);
    if (end == std::wstring::npos) return std::nullopt;
    std::wstring raw = xml.substr(start, end - start), text;
    for (std::size_t at = 0; at < raw.size(); ++at) {
        const std::size_t semicolon = raw[at] == L'&' ? raw.find(L';', at) : std::wstring::npos;
        if (semicolon == std::wstring::npos) {
            text += raw[at];
            continue;
        }
        const std::wstring entity = raw.substr(at + 1, semicolon - at - 1);
        if (entity == L"amp") text += L'&';
        else if (entity == L"lt") text += L'<';
        else if (entity == L"gt") text += L'>';
        else if (entity == L"quot") text += L'"';
        else if (entity == L"apos") text += L'\'';
        else if (entity.size() > 1 && entity[0] == L'#')
            text += static_cast<wchar_t>(entity[1] == L'x' ? std::wcstoul(entity.c_str() + 2, nullptr, 16)
                                                           : std::wcstoul(entity.c_str() + 1, nullptr, 10));
        else text += raw.substr(at, semicolon - at + 1);
        at = semicolon;
    }
    return text;
}

bool HasElement(const std::wstring& xml, const std::wstring& name) {
    return xml.find(L"<" + name + L">") != std::wstring::npos || xml.find(L"<" + name + L" ") != std::wstring::npos ||
           xml.find(L"<" + name + L"/>") != std::wstring::npos;
}

// "/Traces e1,e2 /Profile "NAME"" back into entries and a profile.
bool ParseArguments(const std::wstring& arguments, TraceSchedule& schedule) {
    const std::wstring traces = std::wstring(kTracesSwitch) + L" ";
    const std::wstring profile = std::wstring(L" ") + kProfileSwitch + L" \"";
    if (arguments.rfind(traces, 0) != 0) return false;
    const std::size_t split = arguments.find(profile, traces.size());
    if (split == std::wstring::npos || arguments.size() < split + profile.size() + 1 || arguments.back() != L'"')
        return false;
    const auto entries = ParseTraceEntries(arguments.substr(traces.size(), split - traces.size()));
    if (!entries) return false;
    schedule.entries = *entries;
    schedule.profile = arguments.substr(split + profile.size(), arguments.size() - split - profile.size() - 1);
    return IsOneFolderName(schedule.profile);
}

UniqueCom<ITaskService> ConnectService(HRESULT& hr) {
    ITaskService* raw = nullptr;
    hr = ::CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                            reinterpret_cast<void**>(&raw));
    UniqueCom<ITaskService> service(raw);
    if (FAILED(hr)) return {};
    hr = service->Connect(Empty(), Empty(), Empty(), Empty());
    if (FAILED(hr)) return {};
    return service;
}

UniqueCom<ITaskFolder> Folder(ITaskService& service, const std::wstring& path, HRESULT* answer = nullptr) {
    ITaskFolder* raw = nullptr;
    const HRESULT hr = service.GetFolder(Bstr(path).get(), &raw);
    if (answer) *answer = hr;
    return UniqueCom<ITaskFolder>(SUCCEEDED(hr) ? raw : nullptr);
}

UniqueCom<IRegisteredTask> Task(ITaskFolder& folder, const std::wstring& name) {
    IRegisteredTask* raw = nullptr;
    return UniqueCom<IRegisteredTask>(SUCCEEDED(folder.GetTask(Bstr(name).get(), &raw)) ? raw : nullptr);
}

// True when the folder holds no task (hidden ones counted) and no folder.
bool FolderEmpty(ITaskFolder& folder) {
    IRegisteredTaskCollection* tasks = nullptr;
    ITaskFolderCollection* folders = nullptr;
    if (FAILED(folder.GetTasks(TASK_ENUM_HIDDEN, &tasks))) return false;
    UniqueCom<IRegisteredTaskCollection> ownTasks(tasks);
    if (FAILED(folder.GetFolders(0, &folders))) return false;
    UniqueCom<ITaskFolderCollection> ownFolders(folders);
    LONG taskCount = 1, folderCount = 1;
    return SUCCEEDED(tasks->get_Count(&taskCount)) && SUCCEEDED(folders->get_Count(&folderCount)) && taskCount == 0 &&
           folderCount == 0;
}

}  // namespace

std::wstring XmlEscape(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': escaped += L"&amp;"; break;
        case L'<': escaped += L"&lt;"; break;
        case L'>': escaped += L"&gt;"; break;
        case L'"': escaped += L"&quot;"; break;
        case L'\'': escaped += L"&apos;"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

std::wstring TraceTaskArguments(const std::vector<std::uint16_t>& entries, const std::wstring& profile) {
    return std::wstring(kTracesSwitch) + L" " + TraceEntryList(entries) + L" " + kProfileSwitch + L" \"" + profile +
           L"\"";
}

std::wstring TraceTaskXml(const TraceSchedule& schedule, const std::wstring& userId, const std::wstring& program,
                          const SYSTEMTIME& today) {
    const std::wstring user = XmlEscape(userId);
    std::wstring trigger;
    if (schedule.when == ScheduleWhen::Logon) {
        trigger = L"    <LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n      <UserId>" + user +
                  L"</UserId>\r\n    </LogonTrigger>\r\n";
    } else {
        const std::wstring start = std::to_wstring(today.wYear) + L"-" + TwoDigits(today.wMonth) + L"-" +
                                   TwoDigits(today.wDay) + L"T" + TwoDigits(schedule.hour) + L":" +
                                   TwoDigits(schedule.minute) + L":00";
        const std::wstring repeat =
            schedule.when == ScheduleWhen::Daily
                ? L"      <ScheduleByDay>\r\n        <DaysInterval>1</DaysInterval>\r\n      </ScheduleByDay>\r\n"
                : L"      <ScheduleByWeek>\r\n        <DaysOfWeek>\r\n          <" +
                      std::wstring(kDayNames[schedule.dayOfWeek >= 0 && schedule.dayOfWeek < 7 ? schedule.dayOfWeek : 0]) +
                      L" />\r\n        </DaysOfWeek>\r\n        <WeeksInterval>1</WeeksInterval>\r\n"
                      L"      </ScheduleByWeek>\r\n";
        trigger = L"    <CalendarTrigger>\r\n      <StartBoundary>" + start +
                  L"</StartBoundary>\r\n      <Enabled>true</Enabled>\r\n" + repeat + L"    </CalendarTrigger>\r\n";
    }
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           L"  <RegistrationInfo>\r\n"
           L"    <Author>" + user + L"</Author>\r\n"
           L"    <Description>" + XmlEscape(L"TIDEMARROW32 SE の履歴抹消ツール (" + TraceEntryList(schedule.entries) +
                                           L")") + L"</Description>\r\n"
           L"  </RegistrationInfo>\r\n"
           L"  <Triggers>\r\n" + trigger + L"  </Triggers>\r\n"
           L"  <Principals>\r\n"
           L"    <Principal id=\"Author\">\r\n"
           L"      <UserId>" + user + L"</UserId>\r\n"
           L"      <LogonType>InteractiveToken</LogonType>\r\n"
           L"      <RunLevel>LeastPrivilege</RunLevel>\r\n"
           L"    </Principal>\r\n"
           L"  </Principals>\r\n"
           L"  <Settings>\r\n"
           L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
           L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
           L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
           L"    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
           L"    <Enabled>true</Enabled>\r\n"
           L"    <ExecutionTimeLimit>PT1H</ExecutionTimeLimit>\r\n"
           L"  </Settings>\r\n"
           L"  <Actions Context=\"Author\">\r\n"
           L"    <Exec>\r\n"
           L"      <Command>" + XmlEscape(program) + L"</Command>\r\n"
           L"      <Arguments>" + XmlEscape(TraceTaskArguments(schedule.entries, schedule.profile)) +
           L"</Arguments>\r\n"
           L"    </Exec>\r\n"
           L"  </Actions>\r\n"
           L"</Task>\r\n";
}

std::optional<TraceSchedule> ParseTraceTaskXml(const std::wstring& xml) {
    TraceSchedule schedule;
    if (HasElement(xml, L"LogonTrigger")) {
        schedule.when = ScheduleWhen::Logon;
    } else if (HasElement(xml, L"CalendarTrigger")) {
        const std::optional<std::wstring> start = ElementText(xml, L"StartBoundary");
        const std::size_t t = start ? start->find(L'T') : std::wstring::npos;
        if (t == std::wstring::npos || start->size() < t + 6 || (*start)[t + 3] != L':') return std::nullopt;
        schedule.hour = TwoDigitValue(*start, t + 1);
        schedule.minute = TwoDigitValue(*start, t + 4);
        if (schedule.hour < 0 || schedule.hour > 23 || schedule.minute < 0 || schedule.minute > 59) return std::nullopt;
        if (HasElement(xml, L"ScheduleByWeek")) {
            schedule.when = ScheduleWhen::Weekly;
            const std::size_t days = xml.find(L"<DaysOfWeek>");
            const std::size_t daysEnd = xml.find(L"</DaysOfWeek>");
            schedule.dayOfWeek = -1;
            for (int day = 0; day < 7 && days != std::wstring::npos; ++day) {
                const std::size_t at = xml.find(L"<" + std::wstring(kDayNames[day]), days);
                if (at != std::wstring::npos && at < daysEnd) {
                    schedule.dayOfWeek = day;
                    break;
                }
            }
            if (schedule.dayOfWeek < 0) return std::nullopt;
        } else if (HasElement(xml, L"ScheduleByDay")) {
            schedule.when = ScheduleWhen::Daily;
        } else {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    const std::optional<std::wstring> arguments = ElementText(xml, L"Arguments");
    if (!arguments || !ParseArguments(*arguments, schedule)) return std::nullopt;
    return schedule;
}

std::wstring TraceTaskName() { return kTraceTaskNameHead + CurrentUserSid(); }

HRESULT RegisterTraceTask(const TraceSchedule& schedule, const std::wstring& program) {
    const std::wstring sid = CurrentUserSid();
    if (sid.empty()) return HRESULT_FROM_WIN32(::GetLastError() ? ::GetLastError() : ERROR_NO_TOKEN);
    HRESULT hr = S_OK;
    UniqueCom<ITaskService> service = ConnectService(hr);
    if (!service) return hr;
    UniqueCom<ITaskFolder> root = Folder(*service, L"\\", &hr);
    if (!root) return hr;
    UniqueCom<ITaskFolder> own = Folder(*service, kTraceTaskFolder);
    if (!own) {
        ITaskFolder* made = nullptr;
        if (SUCCEEDED(root->CreateFolder(Bstr(kTraceTaskFolder + 1).get(), Empty(), &made))) own.reset(made);
    }
    ITaskFolder& target = own ? *own : *root;

    SYSTEMTIME today{};
    ::GetLocalTime(&today);
    const std::wstring name = kTraceTaskNameHead + sid;
    IRegisteredTask* registered = nullptr;
    hr = target.RegisterTask(Bstr(name).get(), Bstr(TraceTaskXml(schedule, sid, program, today)).get(),
                             TASK_CREATE_OR_UPDATE, Empty(), Empty(), TASK_LOGON_INTERACTIVE_TOKEN, Empty(),
                             &registered);
    UniqueCom<IRegisteredTask> owned(registered);
    // One task per user: an older one in the other folder goes.
    if (SUCCEEDED(hr) && own && Task(*root, name)) root->DeleteTask(Bstr(name).get(), 0);
    return hr;
}

HRESULT RemoveTraceTask() {
    HRESULT hr = S_OK;
    UniqueCom<ITaskService> service = ConnectService(hr);
    if (!service) return hr;
    const std::wstring name = TraceTaskName();
    HRESULT answer = S_FALSE;
    UniqueCom<ITaskFolder> own = Folder(*service, kTraceTaskFolder);
    if (own && Task(*own, name)) {
        answer = own->DeleteTask(Bstr(name).get(), 0);
        if (SUCCEEDED(answer) && FolderEmpty(*own)) {
            own.reset();
            if (UniqueCom<ITaskFolder> root = Folder(*service, L"\\"))
                root->DeleteFolder(Bstr(kTraceTaskFolder + 1).get(), 0);
        }
    }
    UniqueCom<ITaskFolder> root = Folder(*service, L"\\", &hr);
    if (root && Task(*root, name)) {
        const HRESULT deleted = root->DeleteTask(Bstr(name).get(), 0);
        if (answer == S_FALSE || FAILED(deleted)) answer = deleted;
    }
    return answer;
}

HRESULT ReadTraceTask(RegisteredTraceTask& task) {
    task = {};
    HRESULT hr = S_OK;
    UniqueCom<ITaskService> service = ConnectService(hr);
    if (!service) return hr;
    const std::wstring name = TraceTaskName();
    UniqueCom<IRegisteredTask> found;
    for (const wchar_t* path : {kTraceTaskFolder, L"\\"}) {
        if (UniqueCom<ITaskFolder> folder = Folder(*service, path)) found = Task(*folder, name);
        if (found) break;
    }
    if (!found) return S_OK;
    task.exists = true;
    Bstr xml;
    if (SUCCEEDED(found->get_Xml(xml.out()))) task.xml = xml.str();
    task.schedule = ParseTraceTaskXml(task.xml);
    DATE last = 0;
    SYSTEMTIME time{};
    if (found->get_LastRunTime(&last) == S_OK && ::VariantTimeToSystemTime(last, &time)) task.lastRun = time;
    return S_OK;
}
