#pragma once
// A spinning activity indicator: twelve spokes whose brightest spoke goes round while animating.

#include <QTimer>
#include <QWidget>

class Spinner final : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);

    void setAnimating(bool animating);
    [[nodiscard]] bool isAnimating() const { return m_timer.isActive(); }
    // The spoke that is brightest now, 0 to 11; it advances one spoke per tick.
    [[nodiscard]] int step() const { return m_step; }

    [[nodiscard]] QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};
