#pragma once
#include <string>

class TReportList;

// Fills a message list from one message file: number, date and text of each
// whole record, oldest first. A missing file leaves the list empty.
void LoadMailbox(const std::string& fileName, TReportList* list);
