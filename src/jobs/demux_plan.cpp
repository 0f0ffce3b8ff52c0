// SPDX-License-Identifier: GPL-2.0-or-later
// The demux plan: which box gets which file, in which format, fed by which packets and parts.
#include "jobs/demux_plan.h"

#include "jobs/inventory_report.h"
#include "jobs/output_guard.h"
#include "jobs/output_paths.h"

namespace ardunex {
namespace {

constexpr const char* SUBPICTURE_EXT = "sup";
constexpr const char* WAV_EXTENSION = "wav";

/// The packets a box's output takes; false for boxes that never get one.
bool routeOf(const DemuxRequest& request, int box, Route& route) {
  const PlanBox& planBox = request.boxes[static_cast<std::size_t>(box)];
  if (planBox.own)
    route = {Route::By::Code, planBox.code};  // a stream of its own
  else if (box < 2)
    route = {Route::By::VideoNumber, box};
  else if (box >= audioBox(0) && box < subBox(0))
    route = {Route::By::AudioNumber, box - audioBox(0)};
  else if (box >= subBox(0))
    route = {Route::By::SubpictureNumber, box - subBox(0)};
  else
    return false;
  return true;
}

/// Whether a box's output is written: ticked where the user can see it, and a subpicture only with the option
/// and when the last scan of this file found its stream.
bool writes(const DemuxRequest& request, int box, const Route& route) {
  const PlanBox& planBox = request.boxes[static_cast<std::size_t>(box)];
  if (!planBox.checked || !planBox.enabled)
    return false;  // a greyed box is never written
  if (route.by != Route::By::SubpictureNumber)
    return true;
  return request.options.optionOn(Option::Subpictures) && (request.scannedSubpictures & (1u << route.value)) != 0;
}

/// The format of a box's output: LPCM whose format the scan read as WAV under the option, or for an MKV (one
/// whose header cannot be read stays raw), subpictures as SUP, everything else raw.
OutputKind kindOf(const DemuxRequest& request, int box, const Route& route, bool& unreadableLpcm) {
  unreadableLpcm = false;
  if (route.by == Route::By::SubpictureNumber)
    return OutputKind::Sup;
  const StreamRecord* stream = request.boxes[static_cast<std::size_t>(box)].stream;
  const JobOptions& options = request.options;
  if (box < audioBox(0) || !(options.optionOn(Option::LpcmWav) || options.optionOn(Option::MakeMkv)) || !stream ||
      stream->coding != StreamCoding::Lpcm)
    return OutputKind::Raw;
  const StreamParams& params = stream->params;
  if (params.channels && params.sampleRate && params.bits)
    return OutputKind::Wav;
  unreadableLpcm = true;
  return OutputKind::Raw;
}

std::string extensionOf(const JobOptions& options, int box, OutputKind kind) {
  if (kind == OutputKind::Sup)
    return SUBPICTURE_EXT;
  if (kind == OutputKind::Wav)
    return WAV_EXTENSION;
  return box < VIDEO_BOX_COUNT ? options.videoExt : options.audioExt;
}

}  // namespace

DemuxPlan planDemux(const DemuxRequest& request) {
  const JobOptions& options = request.options;
  DemuxPlan plan;
  plan.outputBase = outputBase(options.workdir, request.evoBase);
  plan.createBase = createBase(options.workdir, request.evoPath);
  plan.folder = options.workdir;

  const std::string second = secondPart(request.evoPath);
  plan.parts.push_back({request.evoPath, false, !request.titleClips.empty()});
  plan.inputs.push_back({request.evoPath, IS_EVO_FILE});
  if (!request.titleClips.empty()) {
    // A title's clips are its parts: the NAME_1/NAME_2 continuation does not apply on top of them.
    for (std::size_t k = 1; k < request.titleClips.size(); ++k) {
      plan.parts.push_back({request.titleClips[k], true, true});
      plan.inputs.push_back({request.titleClips[k], IS_TITLE_CLIP});
    }
  } else {
    if (options.continueOnSecond && isFirstPart(request.evoName))
      plan.parts.push_back({second, true});
    // No output may be a file the demux reads, nor the user's second part, continued onto or not.
    if (isFirstPart(request.evoName))
      plan.inputs.push_back({second, IS_SECOND_PART});
  }
  if (!request.xplPath.empty())
    plan.inputs.push_back({request.xplPath, IS_PLAYLIST});

  for (int box = 0; box < BOX_COUNT; ++box) {
    Route route;
    if (!routeOf(request, box, route) || !writes(request, box, route))
      continue;
    PlannedOutput output;
    output.box = box;
    output.route = route;
    output.kind = kindOf(request, box, route, output.unreadableLpcm);
    const PlanBox& planBox = request.boxes[static_cast<std::size_t>(box)];
    std::string caption = planBox.caption;
    if (options.optionOn(Option::DelayNames) && planBox.stream)
      caption += delayNamePart(*planBox.stream);
    // A WAV the user did not ask for, while the stream files are kept: the raw file as without an MKV,
    // then the WAV for the mux.
    const bool muxWav = output.kind == OutputKind::Wav && !options.optionOn(Option::LpcmWav);
    if (muxWav && options.optionOn(Option::KeepStreams)) {
      PlannedOutput raw = output;
      raw.kind = OutputKind::Raw;
      raw.name = outputName(plan.outputBase, caption, extensionOf(options, box, raw.kind));
      raw.path = plan.createBase + raw.name;
      plan.outputs.push_back(std::move(raw));
    }
    output.forMux = muxWav;
    output.name = outputName(plan.outputBase, caption, extensionOf(options, box, output.kind));
    output.path = plan.createBase + output.name;
    plan.outputs.push_back(std::move(output));
  }
  return plan;
}

}  // namespace ardunex
