#include "run_plan.h"

#include "dates.h"
#include "settings.h"

namespace {

// The printed text of a switchable text: none when off, the default setting for an empty text under
// UseForEmpty (never searched for a query), else the project's own text.
RunText TakeText(bool on, const std::wstring& text, const std::wstring& defaultText, bool useDefault, int size,
                 const std::wstring& cls) {
    RunText result;
    result.size = size;
    result.cls = cls;
    if (!on) return result;
    if (text.empty() && useDefault) {
        result.text = defaultText;
    } else {
        result.text = text;
        result.ownText = true;
    }
    return result;
}

}  // namespace

void TakeMacroFacts(const CtwDoc& project, RunPlan& plan) {
    _Settings& settings = Settings();
    plan.format = project.Format;
    plan.reportFile = project.ReportFile;
    plan.formatName = project.FormatName();
    plan.pathName = project.PathName();
    plan.inputs = RunInputsOf(project);
    plan.values = project.m_values;
    plan.dateFormat = settings.getStr(L"DateMFormat");
    plan.timeFormat = settings.getStr(L"TimeMFormat");
    const bool useDefault = settings.getInt(L"UseForEmpty") != 0;
    plan.title = TakeText(project.IsTitleOn(), project.Title, settings.getStr(L"DefTitle"), useDefault,
                          project.TitleSize, project.TitleClass);
    plan.header = TakeText(project.IsHeaderOn(), project.Header, settings.getStr(L"DefHeader"), useDefault,
                           project.HeaderSize, project.HeaderClass);
    plan.footer = TakeText(project.IsFooterOn(), project.FooterTxt, settings.getStr(L"DefFooter"), useDefault,
                           project.FooterSize, project.FooterClass);
}

std::wstring RunPlan::ResolvePath(const std::wstring& path) const { return ResolveProjectPath(pathName, path); }

std::wstring RunPlan::ExpandText(const std::wstring& text) const {
    return DateAndTimeMacros(ReplaceParameterValues(text, values), dateFormat, timeFormat);
}

ValueMarker* RunPlan::FindMarker(const std::wstring& name) { return ::FindMarker(markers, name); }
