#pragma once
#include <QMatrix4x4>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <QPoint>
#include <QVector3D>
#include <memory>
#include <vector>

#include "viewer3d/ThreeDModel.h"

// The cutting job in 3D: the plate as a slab with the parts in it, or the pipe
// or profile with the contours wrapped around it. Left drag rotates, the wheel
// zooms, a double click goes back to the first view.
class ThreeDView : public QOpenGLWidget, protected QOpenGLFunctions {
  Q_OBJECT
 public:
  explicit ThreeDView(QWidget* parent = nullptr);
  ~ThreeDView() override;

  void setModel(const corvane::ThreeDModel& model);
  void resetView();

 signals:
  // OpenGL works but cannot draw (shaders not built): the window shows the text instead.
  void failed(const QString& message);

 protected:
  void initializeGL() override;
  void resizeGL(int width, int height) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // Vertices: position, normal, colour (9 floats each).
  struct Batch {
    std::vector<float> data;
    int count() const { return static_cast<int>(data.size() / 9); }
    void add(const QVector3D& p, const QVector3D& n, const QVector3D& c);
  };
  // An even-odd filled face of the plate: the contours as fans, then the cover quad.
  struct EvenOddFace {
    std::vector<std::pair<int, int>> fans;  // first vertex, count in fanVertices
    Batch fanVertices, coverInside, coverOutside;
  };

  void buildGeometry(const corvane::ThreeDModel& model);
  void buildPlate(const corvane::ThreeDModel& model);
  void buildTube(const corvane::ThreeDModel& model);
  void draw(const Batch& batch, unsigned mode);
  QMatrix4x4 viewMatrix() const;

  std::unique_ptr<QOpenGLShaderProgram> program_;
  bool ready_ = false;
  Batch triangles_, lines_;
  std::vector<EvenOddFace> faces_;
  QVector3D centre_;
  float radius_ = 1;
  float azimuth_ = 0, elevation_ = 0, zoom_ = 1;
  QPoint lastMouse_;
};
