// The main form and the program entry, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <thread>

#include "platform/codepage.h"
#include "platform/com_port_names.h"
#include "platform/file_io.h"
#include "platform/single_instance.h"
#include "protocol/message_file.h"
#include "server/qt/main_form.h"
#include "server/qt/server_program.h"
#include "server/store/queue_file.h"
#include "tests/server/loopback_client.h"
#include "tests/server/modem_fixture.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/qt_print.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class ServerFormTest : public ::testing::Test {
 protected:
  void WriteConfig(long port = kAnyPort) {
    ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"),
                                    "[CONNECTION]\nEthernetPort=" + std::to_string(port) + "\n"));
  }
  ServerProgramOptions Options() const { return {dir.path(), dir.path(), 0}; }

  TempDir dir;
  MessageBoxAnswers boxes;
};

TEST_F(ServerFormTest, TheTrayMenuCountsTheQueues) {
  WriteConfig();
  TMainForm form(dir.path());
  form.closeWaitMs = 0;
  ASSERT_TRUE(form.FormCreate());
  EXPECT_EQ(form.pmSnt->text(), QString::fromUtf8("Исходящих: 0"));
  EXPECT_EQ(form.pmOptions->text(), QString::fromUtf8("Конфигурация"));
  EXPECT_EQ(form.pmClose->text(), QString::fromUtf8("Выход"));

  LoopbackClient client(form.core()->ListeningPort());
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(client.Send(MessagePacket("+7001", "queued")));
  ASSERT_TRUE(WaitUntil([&] { return form.core()->state().OutgoingCount() == 5; }));
  form.PopupMenuPopup();
  EXPECT_EQ(form.pmSnt->text(), QString::fromUtf8("Исходящих: 5"));
  EXPECT_EQ(form.pmRcv->text(), QString::fromUtf8("Входящих: 0"));
}

TEST_F(ServerFormTest, TheTimerFiresOnceHidesTheSplashAndTheServerRunsOn) {
  WriteConfig();
  TMainForm form(dir.path());
  form.closeWaitMs = 0;
  ASSERT_TRUE(form.FormCreate());
  form.show();
  EXPECT_TRUE(form.Timer->isActive());
  EXPECT_FALSE(form.ModemTimer->isActive());
  form.TimerTimer();
  EXPECT_FALSE(form.Timer->isActive());
  EXPECT_TRUE(form.ModemTimer->isActive());  // the modem is looked for again
  form.ModemTimerTimer();
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(boxes.Asked().empty());  // no modem is not an error

  LoopbackClient client(form.core()->ListeningPort());
  ASSERT_TRUE(client.Send(MessagePacket("+7001", "no modem yet")));
  EXPECT_TRUE(WaitUntil([&] { return form.core()->state().OutgoingCount() == 1; }));
}

TEST_F(ServerFormTest, TheTimerOpensTheModemAndItsWorkerSendsWhatClientsHandIn) {
  FakeDeviceTree devices;
  ModemSim sim;
  sim.Start();
  ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"), "[CONNECTION]\nEthernetPort=" + std::to_string(kAnyPort) +
                                                              "\n[DEVICEMAP]\nCOM5=1\n"));
  ASSERT_TRUE(WriteFileAtomically(dir.File("registry.reg"), ModemRegistry(sim.DevicePath())));
  {
    TMainForm form(dir.path());
    form.closeWaitMs = 0;
    ASSERT_TRUE(form.FormCreate());
    LoopbackClient client(form.core()->ListeningPort());
    ASSERT_TRUE(client.Send(MessagePacket("+79161234567", "through the modem")));
    ASSERT_TRUE(WaitUntil([&] { return form.core()->state().OutgoingCount() == 1; }));
    form.TimerTimer();
    EXPECT_TRUE(boxes.Asked().empty());
    ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return v.sends.size() == 1; }));
    EXPECT_EQ(sim.Sends()[0].decoded.text, "through the modem");
  }
  SetComRegistryFile("");
}

TEST_F(ServerFormTest, OptionsStartsTheConfigurationProgramAndAMissingOneIsNotReported) {
  WriteConfig();
  TMainForm form(dir.path());
  form.closeWaitMs = 0;
  ASSERT_TRUE(form.FormCreate());
  form.pmOptionsClick();
  EXPECT_TRUE(boxes.Asked().empty());

  const std::string marker = dir.File("started");
  ASSERT_TRUE(WriteFileAtomically(dir.File("trelmconf"), "#!/bin/sh\necho \"$#\" > '" + marker + "'\n"));
  fs::permissions(dir.File("trelmconf"), fs::perms::owner_all);
  form.pmOptionsClick();
  ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(marker).value_or("") == "0\n"; }));  // no arguments
}

TEST_F(ServerFormTest, ASecondInstanceIsToldAndEnds) {
  SingleInstance first("trelmsrv", dir.path());
  ASSERT_FALSE(first.AlreadyRunning());
  WriteConfig();
  ASSERT_TRUE(WriteMessageFile(dir.File(kOutgoingQueueFile), std::vector<packet>{MessagePacket("+7001", "kept")}));
  EXPECT_EQ(RunServer(Options()), 0);
  ASSERT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"Приложение уже запущено"});
  EXPECT_EQ(boxes.Asked()[0].icon, MbIcon::Information);
  // It never listened: a server that listens has taken its queue from the file.
  EXPECT_EQ(ReadMessageFile(dir.File(kOutgoingQueueFile)).size(), 1u);
}

// No message box, but a failure all the same: the server never served.
TEST_F(ServerFormTest, PortZeroEndsTheProgramQuietlyWithAFailureAndKeepsTheQueueFiles) {
  WriteConfig(0);
  ASSERT_TRUE(WriteMessageFile(dir.File(kOutgoingQueueFile), std::vector<packet>{MessagePacket("+7001", "kept")}));
  EXPECT_EQ(RunServer(Options()), 1);
  EXPECT_TRUE(boxes.Asked().empty());
  EXPECT_EQ(ReadMessageFile(dir.File(kOutgoingQueueFile)).size(), 1u);
}

// A terminate signal runs the same close as "Выход": the queue is saved.
TEST_F(ServerFormTest, ATerminateSignalSavesTheQueues) {
  WriteConfig();
  std::thread client([&] {
    std::vector<int> ports;
    ASSERT_TRUE(WaitUntil([&] { return !(ports = ListeningPorts(::getpid())).empty(); }));
    const auto c = std::make_unique<LoopbackClient>(ports.front());
    ASSERT_TRUE(c->connected());
    ASSERT_TRUE(c->Send(MessagePacket("+7001", "saved on terminate")));
    c->ShutdownWrite();
    ASSERT_TRUE(c->BytesUntilClosed());  // the server has taken the packet
    ::kill(::getpid(), SIGTERM);
  });
  EXPECT_EQ(RunServer(Options()), 0);
  client.join();
  const auto saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].text(), "saved on terminate");
}

// A queue that cannot be saved (a folder took its file's name before anything was
// written to it) is not lost on
// "Выход": the server stays with it, and a later "Выход" saves it.
TEST_F(ServerFormTest, ExitFromTheMenuKeepsTheQueuesUntilTheyAreSaved) {
  WriteConfig();
  TMainForm form(dir.path());
  form.closeWaitMs = 0;
  ASSERT_TRUE(form.FormCreate());
  form.show();
  fs::create_directory(dir.File(kOutgoingQueueFile));
  LoopbackClient client(form.core()->ListeningPort());
  for (const char* text : {"first", "second"}) ASSERT_TRUE(client.Send(MessagePacket("+7001", text)));
  ASSERT_TRUE(WaitUntil([&] { return form.core()->state().OutgoingCount() == 2; }));

  form.pmCloseClick();
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.Timer->isActive());  // no modem search for a server on its way out
  EXPECT_FALSE(form.ModemTimer->isActive());
  EXPECT_FALSE(form.QueuesLost());
  EXPECT_EQ(form.core()->state().OutgoingCount(), 2u);
  ASSERT_EQ(boxes.Asked().size(), 1u);
  EXPECT_EQ(boxes.Asked()[0].caption, Ansi("Ошибка"));
  const std::string said = boxes.TextsUtf8()[0];
  EXPECT_NE(said.find(dir.File(kOutgoingQueueFile)), std::string::npos) << said;
  EXPECT_NE(said.find("\"Выход\""), std::string::npos) << said;

  fs::remove(dir.File(kOutgoingQueueFile));
  form.pmCloseClick();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(boxes.Asked().size(), 1u);
  const auto saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[1].text(), "second");
}

// A stop signal cannot wait for the operator: the program says what it could not
// save and ends with a status that tells a service manager so.
TEST_F(ServerFormTest, AStopSignalThatCannotSaveTheQueuesEndsWithAFailure) {
  WriteConfig();
  std::thread client([&] {
    std::vector<int> ports;
    ASSERT_TRUE(WaitUntil([&] { return !(ports = ListeningPorts(::getpid())).empty(); }));
    fs::create_directory(dir.File(kOutgoingQueueFile));
    const auto c = std::make_unique<LoopbackClient>(ports.front());
    ASSERT_TRUE(c->connected());
    ASSERT_TRUE(c->Send(MessagePacket("+7001", "cannot be saved")));
    c->ShutdownWrite();
    ASSERT_TRUE(c->BytesUntilClosed());
    ::kill(::getpid(), SIGTERM);
  });
  EXPECT_EQ(RunServer(Options()), 1);
  client.join();
  ASSERT_EQ(boxes.Asked().size(), 1u);
  EXPECT_NE(boxes.TextsUtf8()[0].find(dir.File(kOutgoingQueueFile)), std::string::npos);
}

}  // namespace
