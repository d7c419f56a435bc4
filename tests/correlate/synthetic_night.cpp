#include "correlate/synthetic_night.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "common/text.hpp"
#include "earth/frames.hpp"
#include "trajectory/time.hpp"

namespace sightline::synthetic {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kFps = 25.0;
constexpr double kFfSeconds = 256 / kFps;         // one FF file: 256 frames
constexpr double kEarthRotation = 7.2921150e-5;    // rad/s
constexpr double kMetresPerDegree = 111195.0;      // along a meridian, mean sphere
constexpr int kMinFrames = 5;                      // fewer frames are no detection
constexpr double kMinElevation = 5.0;              // degrees above a camera's horizon

struct Random {
  std::mt19937_64 engine;
  double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(engine); }
  double normal(double s) { return std::normal_distribution<double>(0.0, s)(engine); }
  int whole(int a, int b) { return std::uniform_int_distribution<int>(a, b)(engine); }
  bool chance(double p) { return uniform(0.0, 1.0) < p; }
};

Vector3 unit(const Vector3& v) { return v / v.length(); }

// A place `east` and `north` metres from the plan's centre.
GeodeticPosition offsetPlace(const NightPlan& p, double east, double north, double height) {
  const double lat = p.latitude + north / kMetresPerDegree;
  return {lat, p.longitude + east / (kMetresPerDegree * std::cos(lat * kDeg)), height};
}

// A random place in the disc of radius r about the centre.
GeodeticPosition randomPlace(const NightPlan& p, Random& rng, double r, double height) {
  const double a = rng.uniform(0, 2 * kPi), d = r * std::sqrt(rng.uniform(0, 1));
  return offsetPlace(p, d * std::sin(a), d * std::cos(a), height);
}

Camera makeCamera(const std::string& id, const GeodeticPosition& place, Random& rng, const NightPlan& p, int site) {
  Camera c;
  c.id = id;
  c.latitude = place.latitude, c.longitude = place.longitude, c.height = place.height;
  c.position = toEcef(place);
  c.axis = directionFromHorizontal(localFrame(place), rng.uniform(0, 360), rng.uniform(35, 70));
  c.clockOffset = rng.uniform(-p.maxClockOffset, p.maxClockOffset);
  c.ffPhase = std::round(rng.uniform(0, kFfSeconds) * 1000.0) / 1000.0;
  c.site = site;
  return c;
}

std::vector<Camera> makeCameras(const NightPlan& p, Random& rng) {
  std::vector<Camera> cameras;
  char id[16];
  for (int s = 0; s < p.sites; ++s) {
    const GeodeticPosition place = randomPlace(p, rng, p.radius, rng.uniform(50, 900));
    std::snprintf(id, sizeof id, "XX%04d", static_cast<int>(cameras.size()) + 1);
    cameras.push_back(makeCamera(id, place, rng, p, s));
    if (rng.chance(p.colocatedFraction)) {
      const GeodeticPosition beside = {place.latitude + 0.0003, place.longitude, place.height};
      std::snprintf(id, sizeof id, "XX%04d", static_cast<int>(cameras.size()) + 1);
      cameras.push_back(makeCamera(id, beside, rng, p, s));
    }
  }
  return cameras;
}

struct Shower {
  Vector3 radiant;  // ECEF unit vector toward the radiant at the night's middle
  double speed;     // m/s
};

// A meteor from `radiant` at `speed`, its begin above a random place, at time t.
Truth makeMeteor(const NightPlan& p, Random& rng, Vector3 radiant, double speed, double t, const GeodeticPosition& over) {
  const double kms = speed / 1000.0;
  const double hBegin = (80.0 + 0.5 * (kms - 11.0) + rng.uniform(-5, 5)) * 1000.0;
  const double drop = rng.uniform(8e3, 35e3);
  const Vector3 b = toEcef({over.latitude, over.longitude, hBegin});
  const double sinEl = std::max(0.17, dot(radiant, unit(b)));
  const double length = std::min(drop / sinEl, speed * 3.5);
  Truth m;
  m.kind = Kind::Meteor;
  m.begin = b;
  m.end = b - length * radiant;
  m.beginTime = t;
  m.endTime = t + length / speed;
  (void)p;
  return m;
}

// The radiant of a shower at time t: fixed among the stars, so turning with the Earth.
Vector3 radiantAt(const Shower& s, double t, double middle) {
  Vector3 r = s.radiant;
  return r.rotate(Vector3(0, 0, 1), -kEarthRotation * (t - middle));
}

void addMeteors(const NightPlan& p, Random& rng, Night& night) {
  const GeodeticPosition centre{p.latitude, p.longitude, 0};
  const LocalFrame f = localFrame(centre);
  const std::vector<Shower> showers{{directionFromHorizontal(f, 70, 55), 59e3},
                                    {directionFromHorizontal(f, 200, 40), 35e3},
                                    {directionFromHorizontal(f, 300, 65), 66e3}};
  const double middle = p.start + 0.5 * p.duration;
  int clusters = 0;
  while (static_cast<int>(night.objects.size()) < p.meteors) {
    const double t = p.start + rng.uniform(0, p.duration);
    const bool shower = rng.chance(p.showerFraction);
    const Shower& s = showers[static_cast<std::size_t>(rng.whole(0, 2))];
    Vector3 radiant = shower ? radiantAt(s, t, middle) : directionFromHorizontal(f, rng.uniform(0, 360), rng.uniform(15, 85));
    if (dot(radiant, f.up) < 0.2) continue;  // radiant too low over the region
    const double speed = shower ? s.speed + rng.normal(700) : rng.uniform(12e3, 70e3);
    const int count = rng.chance(p.clusterFraction) ? rng.whole(2, 4) : 1;
    const GeodeticPosition over = randomPlace(p, rng, p.radius * 1.1, 0);
    for (int k = 0; k < count && static_cast<int>(night.objects.size()) < p.meteors; ++k) {
      const GeodeticPosition near = k == 0 ? over : GeodeticPosition{over.latitude + rng.uniform(-0.5, 0.5), over.longitude + rng.uniform(-0.7, 0.7), 0};
      Truth m = makeMeteor(p, rng, radiant, speed * (1 + rng.normal(0.01)), t + (k ? rng.uniform(0.3, 5.0) : 0.0), near);
      m.cluster = count > 1 ? clusters : -1;
      night.objects.push_back(m);
    }
    clusters += count > 1;
  }
}

// Satellites (hundreds of km up), aircraft (10 km up) and noise tracks.
void addFalseObjects(const NightPlan& p, Random& rng, Night& night) {
  const GeodeticPosition centre{p.latitude, p.longitude, 0};
  const LocalFrame f = localFrame(centre);
  auto moving = [&](Kind kind, double height, double speed, double seconds) {
    Truth o;
    o.kind = kind;
    const GeodeticPosition over = randomPlace(p, rng, p.radius, height);
    o.begin = toEcef(over);
    const Vector3 along = directionFromHorizontal(localFrame(over), rng.uniform(0, 360), 0.0);
    o.end = o.begin + speed * seconds * along;
    o.beginTime = p.start + rng.uniform(0, p.duration);
    o.endTime = o.beginTime + seconds;
    night.objects.push_back(o);
  };
  for (int k = 0; k < p.satellites; ++k) moving(Kind::Satellite, rng.uniform(400e3, 1200e3), 7.5e3, rng.uniform(4, 9));
  for (int k = 0; k < p.aircraft; ++k) moving(Kind::Aircraft, rng.uniform(8e3, 12e3), 250.0, rng.uniform(4, 9));
  (void)f;
}

bool visible(const Camera& c, const NightPlan& p, const Vector3& point, const LocalFrame& frame) {
  const Vector3 ray = point - c.position;
  const double range = ray.length();
  if (range > p.maxRange) return false;
  const Vector3 d = ray / range;
  return dot(d, frame.up) > std::sin(kMinElevation * kDeg) && dot(d, c.axis) > std::cos(p.fieldRadius * kDeg);
}

// The detections of object `o` by camera `ci`: its visible frames, one detection per FF file.
void observe(Night& night, const NightPlan& p, Random& rng, int o, int ci) {
  const Camera& c = night.cameras[static_cast<std::size_t>(ci)];
  const Truth& t = night.objects[static_cast<std::size_t>(o)];
  const GeodeticPosition place{c.latitude, c.longitude, c.height};
  const LocalFrame frame = localFrame(place);
  // Frames on the camera's clock: t_cam = t_true + offset, at whole frames of its FF files.
  const double first = std::ceil((t.beginTime + c.clockOffset - c.ffPhase) * kFps) / kFps + c.ffPhase;
  std::map<long, Detection> parts;
  for (double tc = first; tc - c.clockOffset <= t.endTime; tc += 1.0 / kFps) {
    const double u = (tc - c.clockOffset - t.beginTime) / (t.endTime - t.beginTime);
    const Vector3 point = t.begin + u * (t.end - t.begin);
    if (!visible(c, p, point, frame)) continue;
    const Horizontal h = horizontalOf(frame, unit(point - c.position));
    Sighting s;
    s.elevation = h.elevation + rng.normal(p.noise);
    s.azimuth = std::fmod(h.azimuth + rng.normal(p.noise) / std::max(0.05, std::cos(h.elevation * kDeg)) + 360.0, 360.0);
    s.time = std::round(tc * 1e6) / 1e6;
    s.magnitude = std::round(rng.uniform(-1.0, 4.0) * 100) / 100;
    const long ff = static_cast<long>(std::floor((tc - c.ffPhase - p.start + 1e-6) / kFfSeconds));
    parts[ff].sightings.push_back(s);
  }
  for (auto& [ff, d] : parts) {
    if (static_cast<int>(d.sightings.size()) < kMinFrames) continue;
    d.station = c.id;
    d.file = c.id;
    d.fps = kFps;
    d.position = {c.latitude, c.longitude, c.height};
    const double ffStart = p.start + c.ffPhase + ff * kFfSeconds;
    const double second = std::floor(ffStart + 1e-7);
    const std::string iso = formatIsoTime(second);
    char name[96];
    std::snprintf(name, sizeof name, "FF_%s_%s%s%s_%s%s%s_%03d_%07ld.fits", c.id.c_str(), iso.substr(0, 4).c_str(),
                  iso.substr(5, 2).c_str(), iso.substr(8, 2).c_str(), iso.substr(11, 2).c_str(), iso.substr(14, 2).c_str(),
                  iso.substr(17, 2).c_str(), static_cast<int>(std::lround((ffStart - second) * 1000.0)), (ff + 1000) * 256);
    d.ff = name;
    night.detections.push_back(std::move(d));
    night.object.push_back(o);
    night.camera.push_back(ci);
  }
}

// Noise tracks: short straight tracks in one camera's field, no object behind them.
void addNoise(Night& night, const NightPlan& p, Random& rng) {
  for (int k = 0; k < p.noiseTracks && !night.cameras.empty(); ++k) {
    const int ci = rng.whole(0, static_cast<int>(night.cameras.size()) - 1);
    const Camera& c = night.cameras[static_cast<std::size_t>(ci)];
    Truth o;
    o.kind = Kind::Noise;
    o.beginTime = p.start + rng.uniform(0, p.duration);
    o.endTime = o.beginTime + rng.uniform(0.2, 1.0);
    Vector3 a = c.axis, b = c.axis;
    a.rotate(Vector3(rng.normal(1), rng.normal(1), rng.normal(1)), rng.uniform(0, 25) * kDeg);
    b = a;
    b.rotate(Vector3(rng.normal(1), rng.normal(1), rng.normal(1)), rng.uniform(1, 6) * kDeg);
    o.begin = c.position + 200e3 * a;  // on the sky only: the range means nothing
    o.end = c.position + 200e3 * b;
    night.objects.push_back(o);
    observe(night, p, rng, static_cast<int>(night.objects.size()) - 1, ci);
  }
}

}  // namespace

Night makeNight(const NightPlan& plan) {
  Random rng{std::mt19937_64(plan.seed)};
  Night night;
  night.cameras = makeCameras(plan, rng);
  addMeteors(plan, rng, night);
  addFalseObjects(plan, rng, night);
  const std::size_t moving = night.objects.size();
  for (std::size_t o = 0; o < moving; ++o) {
    const Vector3 mid = 0.5 * (night.objects[o].begin + night.objects[o].end);
    const double reach = plan.maxRange + distance(night.objects[o].begin, night.objects[o].end);
    for (std::size_t c = 0; c < night.cameras.size(); ++c)
      if (distance(night.cameras[c].position, mid) < reach) observe(night, plan, rng, static_cast<int>(o), static_cast<int>(c));
  }
  addNoise(night, plan, rng);
  numberMeteors(night);
  return night;
}

void numberMeteors(Night& night) {
  std::vector<std::size_t> order(night.detections.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return night.detections[a].ff < night.detections[b].ff; });
  std::map<int, int> next;
  for (std::size_t k : order) night.detections[k].meteor = ++next[night.camera[k]];
}

std::string ftpDetectInfoText(const Night& night, int camera) {
  std::vector<std::size_t> mine;
  for (std::size_t k = 0; k < night.detections.size(); ++k)
    if (night.camera[k] == camera) mine.push_back(k);
  std::sort(mine.begin(), mine.end(), [&](std::size_t a, std::size_t b) { return night.detections[a].ff < night.detections[b].ff; });
  const std::string id = night.cameras[static_cast<std::size_t>(camera)].id;
  char line[256];
  std::string out;
  std::snprintf(line, sizeof line, "Meteor Count = %06zu\n", mine.size());
  out += line;
  out += "-----------------------------------------------------\nProcessed with RMS 1.0 2026-12-09 08:00:00.000000 UTC\n"
         "-----------------------------------------------------\nFF  folder = /home/pi/RMS_data/CapturedFiles/" + id +
         "\nCAL folder = /home/pi/RMS_data/ArchivedFiles/" + id +
         "\n-----------------------------------------------------\nFF  file processed\nCAL file processed\n"
         "Cam# Meteor# #Segments fps hnr mle bin Pix/fm Rho Phi\nPer segment:  Frame# Col Row RA Dec Azim Elev Inten Mag Bcknd SNR NSatPx\n";
  for (std::size_t k : mine) {
    const Detection& d = night.detections[k];
    const double ffStart = *parseIsoTime(d.ff.substr(10, 4) + "-" + d.ff.substr(14, 2) + "-" + d.ff.substr(16, 2) + "T" +
                                         d.ff.substr(19, 2) + ":" + d.ff.substr(21, 2) + ":" + d.ff.substr(23, 2) + "." + d.ff.substr(26, 3) + "Z");
    out += "-------------------------------------------------------\n" + d.ff + "\nRecalibrated with RMS on: 2026-12-09 08:00:00.000000 UTC\n";
    std::snprintf(line, sizeof line, "%s %04d %04zu %07.2f 000.0 000.0  00.0 002.4 0089.4 0301.2\n", id.c_str(), d.meteor,
                  d.sightings.size(), d.fps);
    out += line;
    for (const Sighting& s : d.sightings) {
      std::snprintf(line, sizeof line, "%08.4f %07.2f %07.2f %08.4f %+08.4f %08.4f %+08.4f %06d %+05.2f %06d %06.2f %06d\n",
                    (*s.time - ffStart) * d.fps, 640.0, 360.0, 0.0, 0.0, s.azimuth, s.elevation, 500, s.magnitude.value_or(0.0),
                    90, 5.0, 0);
      out += line;
    }
  }
  return out;
}

std::vector<std::string> writeNightFolders(Night& night, const std::string& root) {
  namespace fs = std::filesystem;
  std::vector<std::string> folders;
  numberMeteors(night);
  for (std::size_t c = 0; c < night.cameras.size(); ++c) {
    const Camera& cam = night.cameras[c];
    const fs::path folder = fs::path(root) / cam.id / (cam.id + "_20261208_200000_000000");
    fs::create_directories(folder);
    std::ofstream(folder / ".config") << "; RMS configuration (synthetic)\n[System]\n; Station ID\nstationID: " << cam.id
                                      << "\nlatitude: " << formatted("%.6f", cam.latitude) << " ; WGS84 +N\nlongitude: "
                                      << formatted("%.6f", cam.longitude) << " ; WGS84 +E\nelevation: "
                                      << formatted("%.1f", cam.height) << " ; mean sea level\n\n[Capture]\nfps: 25\n";
    const fs::path file = folder / ("FTPdetectinfo_" + cam.id + "_20261208_200000_000000.txt");
    std::ofstream(file) << ftpDetectInfoText(night, static_cast<int>(c));
    for (std::size_t k = 0; k < night.detections.size(); ++k)
      if (night.camera[k] == static_cast<int>(c)) night.detections[k].file = file.string();
    folders.push_back(folder.string());
  }
  return folders;
}

namespace {

// True when two of the cameras that detected meteor `m` stand 5 km apart or more
// and see its line in planes 3 degrees apart or more.
bool eligible(const Night& night, const Truth& m, const std::set<int>& cameras) {
  const Vector3 u = unit(m.end - m.begin);
  std::vector<const Camera*> seen;
  for (int c : cameras) seen.push_back(&night.cameras[static_cast<std::size_t>(c)]);
  for (std::size_t i = 0; i < seen.size(); ++i)
    for (std::size_t j = i + 1; j < seen.size(); ++j) {
      const Vector3 ni = unit(cross(u, m.begin - seen[i]->position));
      const Vector3 nj = unit(cross(u, m.begin - seen[j]->position));
      if (distance(seen[i]->position, seen[j]->position) >= 5e3 && cross(ni, nj).length() >= std::sin(3.0 * kDeg))
        return true;
    }
  return false;
}

}  // namespace

Score score(const Night& night, const std::vector<CorrelatedEvent>& events) {
  Score s;
  std::map<int, std::set<int>> camerasOf;  // meteor -> cameras that detected it
  for (std::size_t k = 0; k < night.detections.size(); ++k)
    if (night.objects[static_cast<std::size_t>(night.object[k])].kind == Kind::Meteor)
      camerasOf[night.object[k]].insert(night.camera[k]);
  std::map<int, std::vector<std::size_t>> eventsOf;  // meteor -> events holding some of its detections
  for (std::size_t e = 0; e < events.size(); ++e) {
    std::set<int> objects;
    for (std::size_t d : events[e].detections) {
      const int o = night.object[d];
      objects.insert(o);
      ++s.eventDetections;
      if (night.objects[static_cast<std::size_t>(o)].kind != Kind::Meteor) ++s.falseInEvents;
      else if (eventsOf[o].empty() || eventsOf[o].back() != e) eventsOf[o].push_back(e);
    }
    ++s.events;
    if (objects.size() == 1 && night.objects[static_cast<std::size_t>(*objects.begin())].kind == Kind::Meteor) ++s.pureEvents;
  }
  for (const auto& [m, cameras] : camerasOf) {
    if (!eligible(night, night.objects[static_cast<std::size_t>(m)], cameras)) continue;
    ++s.eligible;
    const auto it = eventsOf.find(m);
    if (it == eventsOf.end()) continue;
    ++s.found;
    if (it->second.size() > 1) ++s.split;
    std::set<int> inEvent;
    for (std::size_t d : events[it->second.front()].detections)
      if (night.object[d] == m) inEvent.insert(night.camera[d]);
    if (inEvent == cameras && it->second.size() == 1) ++s.complete;
  }
  return s;
}

}  // namespace sightline::synthetic
