// SPDX-License-Identifier: GPL-2.0-or-later
// The demux plan: which box gets which file, named how, in which format, and which parts are read.
#include "jobs/demux_plan.h"

#include <gtest/gtest.h>

#include "jobs/output_guard.h"

namespace ardunex {
namespace {

const std::string SEP(1, PATH_SEPARATOR);
const std::string EVO = "/disc/HVDVD_TS/FEATURE_1.EVO";

/// FEATURE_1.EVO with cbVideo0 and cbAudio01 ticked, written to /out.
DemuxRequest feature() {
  DemuxRequest request;
  request.evoPath = EVO;
  request.evoName = "FEATURE_1.EVO";
  request.evoBase = "FEATURE_1";
  request.options.workdir = "/out";
  request.options.videoExt = "mpv";
  request.options.audioExt = "mpa";
  for (const auto& [box, caption] : {std::pair{videoBox(0), "AVC.stream.00"}, {audioBox(1), "DD+.stream.01"}})
    request.boxes[static_cast<std::size_t>(box)] = {true, true, caption};
  return request;
}

std::vector<std::string> names(const DemuxPlan& plan) {
  std::vector<std::string> found;
  for (const PlannedOutput& output : plan.outputs)
    found.push_back(output.name);
  return found;
}

TEST(DemuxPlan, OutputNames) {
  const struct {
    std::string workdir, videoExt, audioExt, audioCaption;
    std::vector<std::string> names;  // as logged
    std::string createBase;          // what goes before them on disk
  } cases[] = {
      {"/out",
       "mpv",
       "mpa",
       "DD+.stream.01",
       {"/out" + SEP + "FEATURE_1.AVC.stream.00.mpv", "/out" + SEP + "FEATURE_1.DD+.stream.01.mpa"},
       ""},
      {"/out" + SEP,
       "m2v",
       "ac3",
       "DD+.stream.01",
       {"/out" + SEP + "FEATURE_1.AVC.stream.00.m2v", "/out" + SEP + "FEATURE_1.DD+.stream.01.ac3"},
       ""},
      {"/out",
       "",
       ".mpa",
       "DD+.stream.01",
       {"/out" + SEP + "FEATURE_1.AVC.stream.00.", "/out" + SEP + "FEATURE_1.DD+.stream.01..mpa"},
       ""},
      {"/out",
       "mpv",
       "mpa",
       "English/Commentary",
       {"/out" + SEP + "FEATURE_1.AVC.stream.00.mpv", "/out" + SEP + "FEATURE_1.English_Commentary.mpa"},
       ""},
      {"/out",
       "mpv",
       "mpa",
       "../../escape",
       {"/out" + SEP + "FEATURE_1.AVC.stream.00.mpv", "/out" + SEP + "FEATURE_1..._.._escape.mpa"},
       ""},
      {"/out",
       "mpv",
       "mpa",
       "Fran\xE7"
       "ais",
       {"/out" + SEP + "FEATURE_1.AVC.stream.00.mpv", "/out" + SEP +
                                                          "FEATURE_1.Fran\xEF\xBF\xBD"
                                                          "ais.mpa"},
       ""},
      // No output folder: bare names in the log, written beside the EVO file.
      {"",
       "mpv",
       "mpa",
       "DD+.stream.01",
       {"FEATURE_1.AVC.stream.00.mpv", "FEATURE_1.DD+.stream.01.mpa"},
       "/disc/HVDVD_TS/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names.back());
    DemuxRequest request = feature();
    request.options.workdir = c.workdir;
    request.options.videoExt = c.videoExt;
    request.options.audioExt = c.audioExt;
    request.boxes[audioBox(1)].caption = c.audioCaption;
    const DemuxPlan plan = planDemux(request);
    EXPECT_EQ(names(plan), c.names);
    for (const PlannedOutput& output : plan.outputs)
      EXPECT_EQ(output.path, c.createBase + output.name);
    EXPECT_EQ(plan.folder, c.workdir);
  }
}

TEST(DemuxPlan, BoxesGetOutputsByTheirStreamAndOptions) {
  StreamRecord lpcm;
  lpcm.coding = StreamCoding::Lpcm;
  lpcm.kind = StreamKind::Audio;
  lpcm.delayMs = -5;
  StreamRecord unreadable = lpcm;
  lpcm.params.channels = 2;
  lpcm.params.sampleRate = 48000;
  lpcm.params.bits = 16;
  const struct {
    const char* name;
    int box;
    PlanBox planBox;
    Option option;
    bool scanned;  // the subpicture's stream was found by the scan
    std::vector<PlannedOutput> outputs;
  } cases[] = {
      {"video 1",
       videoBox(1),
       {true, true, "V"},
       Option::Chapters,
       false,
       {{videoBox(1), "/out/F.V.mpv", "/out/F.V.mpv", OutputKind::Raw, {Route::By::VideoNumber, 1}}}},
      {"greyed", audioBox(3), {true, false, "A"}, Option::Chapters, false, {}},
      {"video 2 without a stream of its own", videoBox(2), {true, true, "V"}, Option::Chapters, false, {}},
      {"a stream of its own",
       videoBox(2),
       {true, true, "V", nullptr, true, 0xE3},
       Option::EveryStream,
       false,
       {{videoBox(2), "/out/F.V.mpv", "/out/F.V.mpv", OutputKind::Raw, {Route::By::Code, 0xE3}}}},
      {"subpicture without the option", subBox(2), {true, true, "S"}, Option::Chapters, true, {}},
      {"subpicture the scan did not find", subBox(2), {true, true, "S"}, Option::Subpictures, false, {}},
      {"subpicture",
       subBox(2),
       {true, true, "S"},
       Option::Subpictures,
       true,
       {{subBox(2), "/out/F.S.sup", "/out/F.S.sup", OutputKind::Sup, {Route::By::SubpictureNumber, 2}}}},
      {"LPCM",
       audioBox(3),
       {true, true, "L", &lpcm},
       Option::Chapters,
       false,
       {{audioBox(3), "/out/F.L.mpa", "/out/F.L.mpa", OutputKind::Raw, {Route::By::AudioNumber, 3}}}},
      {"LPCM as WAV",
       audioBox(3),
       {true, true, "L", &lpcm},
       Option::LpcmWav,
       false,
       {{audioBox(3), "/out/F.L.wav", "/out/F.L.wav", OutputKind::Wav, {Route::By::AudioNumber, 3}}}},
      {"unreadable LPCM",
       audioBox(3),
       {true, true, "L", &unreadable},
       Option::LpcmWav,
       false,
       {{audioBox(3), "/out/F.L.mpa", "/out/F.L.mpa", OutputKind::Raw, {Route::By::AudioNumber, 3}, true}}},
      {"delay in the name",
       audioBox(3),
       {true, true, "L", &lpcm},
       Option::DelayNames,
       false,
       {{audioBox(3),
         "/out/F.L DELAY -5ms.mpa",
         "/out/F.L DELAY -5ms.mpa",
         OutputKind::Raw,
         {Route::By::AudioNumber, 3}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DemuxRequest request;
    request.evoBase = "F";
    request.options = {"/out/", "mpv", "mpa"};
    request.options.on[static_cast<std::size_t>(c.option)] = true;
    request.scannedSubpictures = c.scanned ? 0xFFFF : 0;
    request.boxes[static_cast<std::size_t>(c.box)] = c.planBox;
    EXPECT_EQ(planDemux(request).outputs, c.outputs);
  }
}

TEST(DemuxPlan, PartsAndTheFilesNoOutputMayBe) {
  const std::string dir = "/disc/HVDVD_TS/";
  const struct {
    std::string name;
    bool continueOnSecond;
    std::string xpl;
    std::vector<InputPart> parts;
    std::vector<GuardedInput> inputs;
  } cases[] = {
      {"FEATURE_1.EVO",
       true,
       "/disc/ADV_OBJ/VPLST000.XPL",
       {{EVO}, {dir + "FEATURE_2.EVO", true}},
       {{EVO, IS_EVO_FILE}, {dir + "FEATURE_2.EVO", IS_SECOND_PART}, {"/disc/ADV_OBJ/VPLST000.XPL", IS_PLAYLIST}}},
      {"MOVIE_1.EVO",
       true,
       "",
       {{dir + "MOVIE_1.EVO"}, {dir + "MOVIE_2.EVO", true}},
       {{dir + "MOVIE_1.EVO", IS_EVO_FILE}, {dir + "MOVIE_2.EVO", IS_SECOND_PART}}},
      // The second part is guarded whether it is continued onto or not.
      {"FEATURE_1.EVO", false, "", {{EVO}}, {{EVO, IS_EVO_FILE}, {dir + "FEATURE_2.EVO", IS_SECOND_PART}}},
      // Only the exact ending "_1.EVO" makes a first part.
      {"feature_1.evo", true, "", {{dir + "feature_1.evo"}}, {{dir + "feature_1.evo", IS_EVO_FILE}}},
      {"FEATURE_2.EVO", true, "", {{dir + "FEATURE_2.EVO"}}, {{dir + "FEATURE_2.EVO", IS_EVO_FILE}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name + (c.continueOnSecond ? " continued" : ""));
    DemuxRequest request = feature();
    request.evoPath = dir + c.name;
    request.evoName = c.name;
    request.options.continueOnSecond = c.continueOnSecond;
    request.xplPath = c.xpl;
    const DemuxPlan plan = planDemux(request);
    EXPECT_EQ(plan.parts, c.parts);
    EXPECT_EQ(plan.inputs, c.inputs);
  }
}

}  // namespace
}  // namespace ardunex
