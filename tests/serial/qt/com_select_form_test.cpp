#include <gtest/gtest.h>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <functional>
#include <optional>

#include "serial/port/com_port.h"
#include "serial/port/port_selection.h"
#include "serial/qt/com_select_form.h"
#include "tests/serial/port/registered_ports.h"
#include "tests/support/qt_wait.h"

namespace {

using PortDialog = RegisteredPorts;

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

TEST_F(PortDialog, ListsTheAvailablePortsUpToFiftyWithTheFirstSelected) {
  TComSelectForm form;
  EXPECT_EQ(Items(*form.PortsComboBox), QStringList({"COM3", "COM5", "COM12"}));
  EXPECT_EQ(form.PortsComboBox->currentIndex(), 0);
  EXPECT_EQ(form.SelectedCom(), "COM3");
  EXPECT_EQ(form.SelectedComNum(), 3);
  EXPECT_FALSE(form.PortsComboBox->isEditable());
  EXPECT_TRUE(form.OkBtn->isDefault());
  // Both texts read in full inside their frame, whatever the system's font.
  for (const QLabel* label : {form.Label1, form.Label2})
    EXPECT_LT(label->geometry().right(), form.Bevel1->geometry().right()) << label->text().toStdString();
}

// Runs the dialog the way an open asks for a port, answering it with `answer`.
std::optional<unsigned> AskAnswering(std::function<void(TComSelectForm&)> answer) {
  const auto driver = OnNextModal([&](QWidget* modal) {
    if (auto* form = qobject_cast<TComSelectForm*>(modal)) return answer(*form);
    ADD_FAILURE() << "another dialog came up";
    modal->close();
  });
  return AskForComPort();
}

TEST_F(PortDialog, GivesThePortChosenWithOkAndNoneOtherwise) {
  const struct {
    const char* action;
    std::function<void(TComSelectForm&)> answer;
    std::optional<unsigned> chosen;
  } cases[] = {
      {"OK", [](TComSelectForm& f) { f.OkBtn->click(); }, 3u},
      {"COM12, OK",
       [](TComSelectForm& f) {
         f.PortsComboBox->setCurrentIndex(2);
         f.OkBtn->click();
       },
       12u},
      {"COM12, Cancel",
       [](TComSelectForm& f) {
         f.PortsComboBox->setCurrentIndex(2);
         f.AbortBtn->click();
       },
       std::nullopt},
      {"closed", [](TComSelectForm& f) { f.close(); }, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(AskAnswering(c.answer), c.chosen) << c.action;
}

TEST_F(PortDialog, OkAndCancelCloseWithTheirResults) {
  for (const auto& [button, result] : {std::pair{&TComSelectForm::OkBtn, TComSelectForm::kResultOk},
                                       std::pair{&TComSelectForm::AbortBtn, TComSelectForm::kResultAbort}}) {
    TComSelectForm form;
    const auto driver = OnNextModal([&form, button = button](QWidget*) { (form.*button)->click(); });
    EXPECT_EQ(form.exec(), result);
  }
}

TEST_F(PortDialog, OkOnAnEmptyListChoosesNoPort) {
  SetComRegistryFile(dir.File("no-ports.reg"));
  EXPECT_EQ(AskAnswering([](TComSelectForm& f) {
              EXPECT_EQ(f.PortsComboBox->count(), 0);
              EXPECT_EQ(f.SelectedComNum(), 0);
              f.OkBtn->click();
            }),
            std::nullopt);
}

TEST_F(PortDialog, AnOpenWithNoPortNumberAsksTheDialogOnceItIsInstalled) {
  InstallComSelectForm();
  TDevaComPort port(nullptr);
  const auto driver = OnNextModal([](QWidget* modal) {
    auto* form = qobject_cast<TComSelectForm*>(modal);
    ASSERT_NE(form, nullptr);
    form->PortsComboBox->setCurrentIndex(2);
    form->OkBtn->click();
  });
  port.SetOpen(true);
  EXPECT_EQ(port.ComNumber(), 12);
  EXPECT_TRUE(port.Open());
  SetPortSelectionProvider({});
}

}  // namespace
