#pragma once
// The compose dialog's part counter: how many SMS the text needs, by the same
// rule the server splits it with.
#include <string>
#include <string_view>

// "Сообщений: N  Знаков: L" (Windows-1251) for a Windows-1251 text whose line
// breaks are already two bytes.
std::string PartCounterText(std::string_view ansiText);
