#ifndef DRAGGABLEGRAPH_H
#define DRAGGABLEGRAPH_H

#include <QColor>
#include <QGraphicsView>
#include <QString>

class DraggableGraphAxes;
class DraggableGraphEdge;
class DraggableGraphNode;
class DraggableGraphShading;
class DraggableGraphSpinbox;
class DraggableGraphText;

// The base of the editable graphs: a transparent view on its own scene with
// a plot in value coordinates (x from 0 to domain, y from 0 to range), whose
// origin is the scene point (0, 0) with y values growing upwards. It draws
// the title in its background and makes the plot's items; binding nodes to
// registers is the concrete graph's business.
//
// Call order: construct, set the title, setScale(), then add nodes, edges,
// shadings and spin boxes. Everything but edges needs the scale first.
class DraggableGraph : public QGraphicsView
{
    Q_OBJECT

public:
    // Sizes in pixels, in this order: the scene is viewWidth x viewHeight, with margin
    // pixels left of the y axis, right of the plot and below the x axis,
    // and margin + labelBand above the plot for the shading labels.
    struct Layout
    {
        int viewWidth = 400;
        int viewHeight = 280;
        int margin = 40;
        int labelBand = 40;
    };

    explicit DraggableGraph(QWidget* parent);

    DraggableGraphAxes* setScale(int domain, int range, QString xTitle, int xTitleOffset,
                                 QString yTitle, int yTitleOffset, int xTicks, int yTicks);
    DraggableGraphNode* addNode(double x, double y, QColor fillColor, QColor rimColor, bool xFixed,
                                bool yFixed, bool visible, bool diamond);
    DraggableGraphEdge* addEdge(DraggableGraphNode* source, DraggableGraphNode* dest, QColor color,
                                int z);
    // Replaces the edge by a new one between the same nodes and frees the
    // old one; the caller keeps the returned edge instead.
    DraggableGraphEdge* changeEdgeColor(DraggableGraphEdge* edge, QColor color, int z);
    DraggableGraphShading* addShading(double xStart, double yStart, double xEnd, double yEnd,
                                      QColor color, QString label, double labelStart,
                                      double labelEnd);
    DraggableGraphText* addText(double xStart, double yStart, double xEnd, double yEnd,
                                QString text, Qt::Alignment flags);
    DraggableGraphSpinbox* addSpinbox(double x, int width, int height);

    // Take an item out of the scene without freeing it. Removing the axes
    // allows setScale() again.
    void removeSceneItem(DraggableGraphEdge* edge);
    void removeSceneItem(DraggableGraphAxes* axes);
    void removeSceneItem(DraggableGraphNode* node);

    // -1 until the scale is set.
    int getDomain() const;
    int getRange() const;

    int plotWidth() const { return graphLayout.viewWidth - 2 * graphLayout.margin; }
    int plotHeight() const
    {
        return graphLayout.viewHeight - 2 * graphLayout.margin - graphLayout.labelBand;
    }

    // Where the title and every label of the scene are drawn, in scene
    // coordinates.
    QList<QRectF> sceneTexts() const;

    // The family of an embedded font, registered once per program.
    static QString registeredFamily(const QString& resource);

signals:
    void scale_changed(int domain, int range);

protected:
    DraggableGraph(QWidget* parent, const Layout& layout, const QString& windowTitle);

    void drawBackground(QPainter* painter, const QRectF& rect) override;

    QString monoFontFamily;
    QString sansFontFamily;
    int domain = 0;
    int range = 0;
    QString title;

private:
    void buildScene();
    QFont titleFont() const;
    QRectF titleRect() const;

    QGraphicsScene* graphScene = nullptr;
    bool scaleSet = false;
    Layout graphLayout;
};

#endif // DRAGGABLEGRAPH_H
