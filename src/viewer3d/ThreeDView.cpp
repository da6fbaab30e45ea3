#include "viewer3d/ThreeDView.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

using corvane::ThreeDContour;
using corvane::ThreeDKind;
using corvane::ThreeDModel;

constexpr float kMm = 0.01f;  // file units (0.01 mm) to the view's millimetres
constexpr float kFieldOfView = 35;
constexpr float kStartAzimuth = -25, kStartElevation = 35;
constexpr float kDegreesPerPixel = 0.4f;
const QVector3D kSheet(0.66f, 0.68f, 0.71f), kPartColour(0.30f, 0.52f, 0.80f), kTube(0.70f, 0.72f, 0.75f);
const QVector3D kOuterLine(0.0f, 0.15f, 0.75f), kInnerLine(0.75f, 0.10f, 0.10f), kEdgeLine(0.25f, 0.25f, 0.28f);

const char* kVertexShader = R"(
attribute vec3 position;
attribute vec3 normal;
attribute vec3 colour;
uniform mat4 mvp;
uniform mat3 turn;
uniform float lit;
varying vec3 shade;
void main() {
  // Both sides lit alike: walls are drawn once whichever way they face. Lines have no normal.
  shade = colour;
  if (lit > 0.5) shade *= 0.45 + 0.55 * abs(dot(normalize(turn * normal), normalize(vec3(0.3, 0.5, 1.0))));
  gl_Position = mvp * vec4(position, 1.0);
})";
const char* kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying vec3 shade;
void main() { gl_FragColor = vec4(shade, 1.0); })";

// From the eye to the middle: the whole model fills most of the view at zoom 1.
float ViewDistance(float radius, float zoom) {
  constexpr float kFit = 0.8f;
  return kFit * radius / std::sin(kFieldOfView / 2 * 3.14159265f / 180) * zoom;
}

QVector3D At(const corvane::ThreeDPoint& p, float z) { return {p.x * kMm, p.y * kMm, z}; }

// Points of a contour as drawn: a closing point added when the writer left it out.
std::vector<corvane::ThreeDPoint> Closed(const ThreeDContour& contour) {
  std::vector<corvane::ThreeDPoint> closed(contour);
  if (closed.size() > 1 && !(closed.front() == closed.back())) closed.push_back(closed.front());
  return closed;
}

}  // namespace

void ThreeDView::Batch::add(const QVector3D& p, const QVector3D& n, const QVector3D& c) {
  data.insert(data.end(), {p.x(), p.y(), p.z(), n.x(), n.y(), n.z(), c.x(), c.y(), c.z()});
}

ThreeDView::ThreeDView(QWidget* parent) : QOpenGLWidget(parent) {
  setMinimumSize(320, 240);
  resetView();
}

ThreeDView::~ThreeDView() {
  makeCurrent();
  program_.reset();
  doneCurrent();
}

void ThreeDView::setModel(const ThreeDModel& model) {
  triangles_ = {};
  lines_ = {};
  faces_.clear();
  buildGeometry(model);
  resetView();
}

void ThreeDView::resetView() {
  azimuth_ = kStartAzimuth;
  elevation_ = kStartElevation;
  zoom_ = 1;
  update();
}

// ---- Geometry ----

void ThreeDView::buildGeometry(const ThreeDModel& model) {
  if (model.kind == ThreeDKind::Plate) buildPlate(model);
  else buildTube(model);
  // The view turns about the middle of everything drawn.
  QVector3D low(1e30f, 1e30f, 1e30f), high(-1e30f, -1e30f, -1e30f);
  for (const Batch* batch : {&triangles_, &lines_})
    for (std::size_t i = 0; i + 2 < batch->data.size(); i += 9) {
      const QVector3D p(batch->data[i], batch->data[i + 1], batch->data[i + 2]);
      low = QVector3D(std::min(low.x(), p.x()), std::min(low.y(), p.y()), std::min(low.z(), p.z()));
      high = QVector3D(std::max(high.x(), p.x()), std::max(high.y(), p.y()), std::max(high.z(), p.z()));
    }
  if (low.x() > high.x()) low = high = {};
  centre_ = (low + high) / 2;
  radius_ = std::max((high - low).length() / 2, 1.0f);
}

void ThreeDView::buildPlate(const ThreeDModel& model) {
  // The sheet: the contours' box with a margin, the model's thickness.
  long long minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool first = true;
  for (const ThreeDContour* contour : model.Contours())
    for (const auto& p : *contour) {
      minX = first ? p.x : std::min(minX, p.x), maxX = first ? p.x : std::max(maxX, p.x);
      minY = first ? p.y : std::min(minY, p.y), maxY = first ? p.y : std::max(maxY, p.y);
      first = false;
    }
  const float margin = std::max(5.0f, 0.05f * static_cast<float>(std::max(maxX - minX, maxY - minY)) * kMm);
  const float x0 = minX * kMm - margin, x1 = maxX * kMm + margin, y0 = minY * kMm - margin, y1 = maxY * kMm + margin;
  const float thickness = std::max(0.0f, model.thickness * kMm);
  // Top and bottom faces: parts where an odd number of contours covers the point, sheet elsewhere.
  for (const float z : {thickness, 0.0f}) {
    EvenOddFace face;
    const QVector3D up(0, 0, 1);
    for (const ThreeDContour* contour : model.Contours()) {
      if (contour->size() < 3) continue;
      face.fans.emplace_back(face.fanVertices.count(), static_cast<int>(contour->size()));
      for (const auto& p : *contour) face.fanVertices.add(At(p, z), up, {});
    }
    for (const QVector3D& corner : {QVector3D(x0, y0, z), QVector3D(x1, y0, z), QVector3D(x1, y1, z),
                                    QVector3D(x0, y0, z), QVector3D(x1, y1, z), QVector3D(x0, y1, z)}) {
      face.coverInside.add(corner, up, kPartColour);
      face.coverOutside.add(corner, up, kSheet);
    }
    faces_.push_back(std::move(face));
  }
  // The sheet's rim and its edges.
  const QVector3D corners[] = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
  const QVector3D lift(0, 0, thickness);
  for (int k = 0; k < 4; ++k) {
    const QVector3D a = corners[k], b = corners[(k + 1) % 4];
    const QVector3D n = QVector3D::crossProduct(b - a, lift).normalized();
    for (const QVector3D& p : {a, b, b + lift, a, b + lift, a + lift}) triangles_.add(p, n, kSheet);
    for (const QVector3D& p : {a, b, a + lift, b + lift, a, a + lift}) lines_.add(p, {}, kEdgeLine);
  }
  // The parts' walls and their contours on both faces.
  for (const corvane::ThreeDPart& part : model.parts) {
    const float top = std::max(0.0f, part.thickness * kMm);
    auto walls = [&](const ThreeDContour& contour, const QVector3D& line) {
      const auto closed = Closed(contour);
      for (std::size_t k = 0; k + 1 < closed.size(); ++k) {
        const QVector3D a = At(closed[k], 0), b = At(closed[k + 1], 0), up(0, 0, top);
        const QVector3D n = QVector3D::crossProduct(b - a, up).normalized();
        for (const QVector3D& p : {a, b, b + up, a, b + up, a + up}) triangles_.add(p, n, kPartColour);
        for (const QVector3D& p : {a, b, a + up, b + up}) lines_.add(p, {}, line);
      }
    };
    if (!part.outer.empty()) walls(part.outer, kOuterLine);
    for (const ThreeDContour& inner : part.inners) walls(inner, kInnerLine);
  }
}

void ThreeDView::buildTube(const ThreeDModel& model) {
  const float length = model.length * kMm;
  const double perimeter = corvane::TubePerimeter(model);
  const double wall = std::min<double>(static_cast<double>(model.thickness),
                                       model.kind == ThreeDKind::Pipe
                                           ? static_cast<double>(model.radius) * 0.95
                                           : static_cast<double>(std::min(model.width, model.height)) * 0.45);
  // The tube's axis runs along X from its start; seen from the start the section's right is -Y
  // and its top Z, so the drawing seen from outside is turned, never mirrored.
  auto world = [](const corvane::SectionPoint& s, float along) { return QVector3D(along, -s.x * kMm, s.y * kMm); };
  auto normal = [](const corvane::SectionPoint& s) { return QVector3D(0, -std::cos(s.normal), std::sin(s.normal)); };
  constexpr int kSteps = 360;
  for (int i = 0; i < kSteps; ++i) {
    const double s0 = perimeter * i / kSteps, s1 = perimeter * (i + 1) / kSteps;
    for (const double inset : {0.0, wall}) {
      const auto a = corvane::TubeSectionAt(model, s0, inset), b = corvane::TubeSectionAt(model, s1, inset);
      const QVector3D pa = world(a, 0), pb = world(b, 0), qa = world(a, length), qb = world(b, length);
      const QVector3D na = normal(a), nb = normal(b);
      triangles_.add(pa, na, kTube), triangles_.add(pb, nb, kTube), triangles_.add(qb, nb, kTube);
      triangles_.add(pa, na, kTube), triangles_.add(qb, nb, kTube), triangles_.add(qa, na, kTube);
    }
    // The end rings between the outer and the inner surface, and their edges.
    for (const float along : {0.0f, length}) {
      const QVector3D n(along == 0 ? -1.0f : 1.0f, 0, 0);
      const QVector3D oa = world(corvane::TubeSectionAt(model, s0), along),
                      ob = world(corvane::TubeSectionAt(model, s1), along),
                      ia = world(corvane::TubeSectionAt(model, s0, wall), along),
                      ib = world(corvane::TubeSectionAt(model, s1, wall), along);
      for (const QVector3D& p : {oa, ob, ib, oa, ib, ia}) triangles_.add(p, n, kTube);
      for (const QVector3D& p : {oa, ob, ia, ib}) lines_.add(p, {}, kEdgeLine);
    }
  }
  // The contours wrapped onto the outer and the inner surface, a hair off them,
  // each segment cut into pieces short enough to follow the surface.
  const double lift = std::max(0.002 * perimeter / (2 * 3.14159), 10.0);
  const double piece = std::max(perimeter / 720, 1.0);
  auto wrap = [&](const ThreeDContour& contour) {
    const auto closed = Closed(contour);
    for (std::size_t k = 0; k + 1 < closed.size(); ++k) {
      const auto& a = closed[k];
      const auto& b = closed[k + 1];
      const double dx = static_cast<double>(b.x - a.x), dy = static_cast<double>(b.y - a.y);
      const int pieces = std::clamp(static_cast<int>(std::ceil(std::abs(dx) / piece)), 1, 4096);
      for (int j = 0; j < pieces; ++j) {
        for (const double inset : {-lift, wall + lift}) {
          for (const int end : {j, j + 1}) {
            const double t = static_cast<double>(end) / pieces;
            const auto s = corvane::TubeSectionAt(model, static_cast<double>(a.x) + t * dx, inset);
            lines_.add(world(s, static_cast<float>((static_cast<double>(a.y) + t * dy) * kMm)), {},
                       inset < 0 ? kOuterLine : kInnerLine);
          }
        }
      }
    }
  };
  for (const ThreeDContour* contour : model.Contours()) wrap(*contour);
}

// ---- Drawing ----

void ThreeDView::initializeGL() {
  initializeOpenGLFunctions();
  program_ = std::make_unique<QOpenGLShaderProgram>();
  if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
      !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !program_->link()) {
    emit failed(tr("OpenGL cannot draw here: %1").arg(program_->log()));
    return;
  }
  ready_ = true;
}

void ThreeDView::resizeGL(int, int) {}

QMatrix4x4 ThreeDView::viewMatrix() const {
  const float distance = ViewDistance(radius_, zoom_);
  QMatrix4x4 view;
  view.translate(0, 0, -distance);
  view.rotate(elevation_ - 90, 1, 0, 0);
  view.rotate(azimuth_, 0, 0, 1);
  view.translate(-centre_);
  return view;
}

void ThreeDView::draw(const Batch& batch, unsigned mode) {
  if (batch.data.empty()) return;
  const int stride = 9 * sizeof(float);
  const float* vertices = batch.data.data();
  program_->enableAttributeArray("position");
  program_->enableAttributeArray("normal");
  program_->enableAttributeArray("colour");
  program_->setAttributeArray("position", GL_FLOAT, vertices, 3, stride);
  program_->setAttributeArray("normal", GL_FLOAT, vertices + 3, 3, stride);
  program_->setAttributeArray("colour", GL_FLOAT, vertices + 6, 3, stride);
  glDrawArrays(mode, 0, batch.count());
}

void ThreeDView::paintGL() {
  glClearColor(0.93f, 0.94f, 0.96f, 1);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  if (!ready_) return;
  const float distance = ViewDistance(radius_, zoom_);
  QMatrix4x4 projection;
  projection.perspective(kFieldOfView, static_cast<float>(width()) / std::max(1, height()),
                         std::max(distance - 2 * radius_, distance * 0.01f), distance + 2 * radius_);
  const QMatrix4x4 view = viewMatrix();
  program_->bind();
  program_->setUniformValue("mvp", projection * view);
  program_->setUniformValue("turn", view.normalMatrix());
  glEnable(GL_DEPTH_TEST);
  // Faces sit a little behind the lines drawn on them.
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(1, 1);
  program_->setUniformValue("lit", 1.0f);
  draw(triangles_, GL_TRIANGLES);
  for (const EvenOddFace& face : faces_) {
    // Count the contours over every pixel in the stencil's lowest bit...
    glEnable(GL_STENCIL_TEST);
    glDisable(GL_DEPTH_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilFunc(GL_ALWAYS, 0, 1);
    glStencilOp(GL_INVERT, GL_INVERT, GL_INVERT);
    const float* fan = face.fanVertices.data.data();
    program_->enableAttributeArray("position");
    program_->setAttributeArray("position", GL_FLOAT, fan, 3, 9 * sizeof(float));
    for (const auto& [first, count] : face.fans) glDrawArrays(GL_TRIANGLE_FAN, first, count);
    // ...then cover the face: part colour where it is odd, sheet colour where even.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilFunc(GL_EQUAL, 1, 1);
    draw(face.coverInside, GL_TRIANGLES);
    glStencilFunc(GL_EQUAL, 0, 1);
    draw(face.coverOutside, GL_TRIANGLES);
    glClear(GL_STENCIL_BUFFER_BIT);
    glDisable(GL_STENCIL_TEST);
  }
  glDisable(GL_POLYGON_OFFSET_FILL);
  program_->setUniformValue("lit", 0.0f);
  glLineWidth(2.0f);
  draw(lines_, GL_LINES);
  program_->release();
}

// ---- Mouse ----

void ThreeDView::mousePressEvent(QMouseEvent* event) { lastMouse_ = event->position().toPoint(); }

void ThreeDView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  const QPoint now = event->position().toPoint();
  const QPoint moved = now - lastMouse_;
  lastMouse_ = now;
  azimuth_ += moved.x() * kDegreesPerPixel;
  elevation_ = std::clamp(elevation_ + moved.y() * kDegreesPerPixel, -89.0f, 89.0f);
  update();
}

void ThreeDView::mouseDoubleClickEvent(QMouseEvent*) { resetView(); }

void ThreeDView::wheelEvent(QWheelEvent* event) {
  const float steps = event->angleDelta().y() / 120.0f;
  zoom_ = std::clamp(zoom_ * std::pow(0.87f, steps), 0.02f, 20.0f);
  update();
}
