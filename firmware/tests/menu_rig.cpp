#include "menu_rig.h"

#include "analog_inputs.h"
#include "board_setup.h"
#include "cmsis_os.h"
#include "eeprom_record.h"
#include "main.h"
#include "oled_handover.h"
#include "tasks.h"
#include "trip_computer.h"
#include "vehicle_state.h"
#include "z_displ_ILI9XXX.h"

namespace menu_rig {

namespace {

std::function<void()>* g_pending = nullptr;
bool g_started = false;
bool g_returned = false;
int g_boots = 0;

// The main task's start-up as the unit runs it (without the splash and its
// waits), then the bodies the test hands over.
void rig_task(void*) {
  Displ_Init(Displ_Orientat_90);
  Displ_CLS(BLACK);
  HAL_ADC_Start(&hadc1);
  HAL_TIM_Base_Start_IT(&htim3);
  HAL_TIM_Base_Start_IT(&htim4);
  HAL_TIM_Base_Start_IT(&htim5);
  HAL_TIM_Base_Start(&htim2);
  HAL_GPIO_WritePin(relay_GPIO_Port, relay_Pin, GPIO_PIN_SET);
  wait_for_oled_set_up();
  readee();
  vTaskResume((TaskHandle_t)oledvtaskHandle);
  eeprom_errors = (uint8_t)check_eeprom_integrity();
  save_initial_values();
  if (lpgtype == 3) IsOnLpg = 0;
  start_oled();
  g_started = true;
  for (;;) {
    if (g_pending != nullptr) {
      std::function<void()>* body = g_pending;
      g_pending = nullptr;
      (*body)();
      g_returned = true;
    }
    osDelay(1);
  }
}

int rig_main() {
  if (g_boots++ > 0) {
    auto* real_main = reinterpret_cast<int (*)()>(host::LinkedFirmware::instance().symbol("main"));
    return real_main();
  }
  HAL_Init();
  SystemClock_Config();
  MX_GPIO_Init();
  MX_DMA_Init();
  MX_SPI1_Init();
  MX_TIM2_Init();
  MX_ADC1_Init();
  MX_I2C1_Init();
  MX_TIM3_Init();
  MX_TIM4_Init();
  MX_TIM5_Init();
  osKernelInitialize();
  mainvTaskHandle = osThreadNew(rig_task, nullptr, &mainvTask_attributes);
  oledvtaskHandle = osThreadNew(oledtask, nullptr, &oledvtask_attributes);
  adcvtaskHandle = osThreadNew(adctask, nullptr, &adcvtask_attributes);
  osKernelStart();
  for (;;) __NOP();
}

}  // namespace

MenuRig::MenuRig() {
  image_.provide("main", &rig_main);
  restart_rig();
}

void MenuRig::restart_rig() {
  world_.reset();
  machine_.reset();
  g_pending = nullptr;
  g_started = false;
  g_returned = false;
  g_boots = 0;
  machine_ = std::make_unique<host::Machine>(image_);
}

MenuRig::~MenuRig() {
  world_.reset();
  machine_.reset();
  g_pending = nullptr;
}

void MenuRig::start(const std::string& sections) {
  const std::string text = "{" + sections + (sections.empty() ? "" : ", ") + R"("steps": [{"at": 0, "ignition": true}, {"wait": 1}]})";
  scenario_ = sim::parse_scenario(text, "menu test");
  world_ = std::make_unique<sim::World>(*machine_, scenario_);
  world_->set_ignition(true);
  const host::Time end = machine_->now() + host::from_seconds(10);
  while (!g_started && machine_->now() < end) machine_->run_for(host::from_ms(10));
  ASSERT_TRUE(g_started) << "the start-up did not finish";
}

void MenuRig::begin(std::function<void()> body) {
  body_ = std::move(body);
  g_returned = false;
  g_pending = &body_;
  run_for(0.05);
}

bool MenuRig::returned() const { return g_returned; }
int MenuRig::boots() const { return g_boots; }

void MenuRig::turn(int detents) {
  for (int i = 0; i < (detents < 0 ? -detents : detents); ++i) {
    world_->encoder.turn(detents < 0 ? -1 : 1);
    run_for(0.6);  // a pass after a page change clears the screen first
  }
}

void MenuRig::press(double seconds) {
  world_->button.press_for(host::from_seconds(seconds));
  run_for(seconds + 0.3);
}

::testing::AssertionResult MenuRig::line(int y, const std::string& text, std::uint16_t color,
                                         std::uint16_t background) {
  return screen::shows_text(panel(), 0, y, text, Font24, color, background);
}

::testing::AssertionResult MenuRig::list_line(int y, const std::string& text, bool highlighted) {
  return highlighted ? line(y, text, BLACK, WHITE) : line(y, text, WHITE, BLACK);
}

::testing::AssertionResult MenuRig::value_line(int y, const std::string& text) { return line(y, text, GREEN, BLACK); }

}  // namespace menu_rig
