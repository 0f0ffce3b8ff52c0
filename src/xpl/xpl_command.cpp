// "Read XPL": placeholder until the playlist reader lands.
#include "engine/errors.h"
#include "jobs/session.h"

namespace ardunex {

void Session::bReadXPLClick() {
  throw Error("Reading playlists is not available yet");
}

}  // namespace ardunex
