// Reads one file through the installed C++ facade and prints its outcome and text.
#include <cstdio>
#include <string>

#include <service/xml_wrapper.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  zephrin::RecordingUserInterface ui;
  zephrin::CxmlWrapper service(&ui);
  std::string info;
  service.GetTemplateInfo(info);  // establishes the template store
  std::string xml;
  service.ReadImportFile(argv[1], "CHART", "FCOA", "100", "", xml);
  std::printf("%s\n", xml.c_str());
  return 0;
}
