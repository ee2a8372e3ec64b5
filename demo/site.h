// The pages and files of the demo exam site.
#pragma once

#include <string>
#include <string_view>

namespace quorvex::demo {

std::string StartPage(std::string_view launch_url);
// `query`: the raw query as requested; the page's script shows it too, as the browser sees it.
std::string ExamPage(std::string_view eid, std::string_view query);
std::string NotesPage();
// A page of another site that tries to command the client from a frame of the exam page.
std::string StrangerPage();
std::string NotFoundPage();
// A one-page PDF that viewers open.
std::string SamplePdf();
std::string SampleText();

}  // namespace quorvex::demo
