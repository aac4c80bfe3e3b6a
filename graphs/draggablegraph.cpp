#include "draggablegraph.h"

#include "draggablegraphaxes.h"
#include "draggablegraphedge.h"
#include "draggablegraphnode.h"
#include "draggablegraphshading.h"
#include "draggablegraphspinbox.h"
#include "draggablegraphtext.h"
#include "scenetext.h"

#include <QFontDatabase>
#include <QGraphicsProxyWidget>
#include <QHash>
#include <QPainter>
#include <QTextOption>

#include <cmath>

DraggableGraph::DraggableGraph(QWidget* parent)
    : DraggableGraph(parent, Layout(), QString())
{
}

DraggableGraph::DraggableGraph(QWidget* parent, const Layout& layout, const QString& windowTitle)
    : QGraphicsView(parent)
    , graphLayout(layout)
{
    buildScene();
    monoFontFamily = registeredFamily(QStringLiteral(":/fonts/LiberationMono-Regular.ttf"));
    sansFontFamily = registeredFamily(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"));
    if (!windowTitle.isEmpty())
        setWindowTitle(windowTitle);
}

void DraggableGraph::buildScene()
{
    const Layout& l = graphLayout;
    graphScene = new QGraphicsScene(this);
    graphScene->setItemIndexMethod(QGraphicsScene::NoIndex);
    graphScene->setSceneRect(-l.margin, l.margin - l.viewHeight, l.viewWidth, l.viewHeight);
    setScene(graphScene);
    setCacheMode(CacheBackground);
    setViewportUpdateMode(BoundingRectViewportUpdate);
    setRenderHint(QPainter::Antialiasing);
    setTransformationAnchor(AnchorUnderMouse);
    // The labels' fonts grow with the screen's DPI: the scene with them.
    const double textScale = SceneText::factor(this);
    scale(textScale, textScale);
    setMinimumSize(l.viewWidth, l.viewHeight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("background: transparent; border-style: none;"));
}

QString DraggableGraph::registeredFamily(const QString& resource)
{
    static QHash<QString, QString> families;
    auto known = families.constFind(resource);
    if (known != families.constEnd())
        return known.value();
    const int id = QFontDatabase::addApplicationFont(resource);
    const QString family = QFontDatabase::applicationFontFamilies(id).value(0);
    families.insert(resource, family);
    return family;
}

DraggableGraphAxes* DraggableGraph::setScale(int domain, int range, QString xTitle,
                                             int xTitleOffset, QString yTitle, int yTitleOffset,
                                             int xTicks, int yTicks)
{
    if (scaleSet)
        return nullptr;
    auto* axes = new DraggableGraphAxes(
        this, domain, range, xTitle, xTitleOffset, yTitle, yTitleOffset, plotWidth(), plotHeight(),
        graphLayout.margin, graphLayout.viewHeight, xTicks, yTicks, monoFontFamily, sansFontFamily);
    graphScene->addItem(axes);
    this->domain = domain;
    this->range = range;
    scaleSet = true;
    return axes;
}

DraggableGraphNode* DraggableGraph::addNode(double x, double y, QColor fillColor, QColor rimColor,
                                            bool xFixed, bool yFixed, bool visible, bool diamond)
{
    if (!scaleSet || std::isnan(x) || std::isnan(y))
        return nullptr;
    x = qBound(0.0, x, double(domain));
    y = qMin(y, double(range));
    // A node below the x axis is refused; one left of the y axis is moved onto it.
    if (y < 0)
        return nullptr;
    auto* node = new DraggableGraphNode(this, x, y, xFixed, yFixed, visible, domain, range,
                                        plotWidth(), plotHeight(), diamond, fillColor, rimColor);
    graphScene->addItem(node);
    return node;
}

DraggableGraphEdge* DraggableGraph::addEdge(DraggableGraphNode* source, DraggableGraphNode* dest,
                                            QColor color, int z)
{
    auto* edge = new DraggableGraphEdge(source, dest, color, z);
    graphScene->addItem(edge);
    return edge;
}

DraggableGraphEdge* DraggableGraph::changeEdgeColor(DraggableGraphEdge* edge, QColor color, int z)
{
    auto* replacement = new DraggableGraphEdge(edge->sourceNode(), edge->destNode(), color, z);
    // Freed, not only taken out: it would stay attached to its nodes.
    delete edge;
    graphScene->addItem(replacement);
    return replacement;
}

DraggableGraphShading* DraggableGraph::addShading(double xStart, double yStart, double xEnd,
                                                  double yEnd, QColor color, QString label,
                                                  double labelStart, double labelEnd)
{
    if (!scaleSet)
        return nullptr;
    auto* shading =
        new DraggableGraphShading(xStart, yStart, xEnd, yEnd, color, label, labelStart, labelEnd,
                                  domain, range, plotWidth(), plotHeight(), graphLayout.labelBand);
    graphScene->addItem(shading);
    return shading;
}

DraggableGraphText* DraggableGraph::addText(double xStart, double yStart, double xEnd, double yEnd,
                                            QString text, Qt::Alignment flags)
{
    if (!scaleSet)
        return nullptr;
    auto* item = new DraggableGraphText(xStart, yStart, xEnd, yEnd, text, flags, domain, range,
                                        plotWidth(), plotHeight());
    graphScene->addItem(item);
    return item;
}

DraggableGraphSpinbox* DraggableGraph::addSpinbox(double x, int width, int height)
{
    if (!scaleSet)
        return nullptr;
    auto* box = new DraggableGraphSpinbox(x, width, height, domain, range, plotWidth(),
                                          plotHeight(), graphLayout.labelBand);
    QGraphicsProxyWidget* proxy = graphScene->addWidget(box);
    proxy->setPos(box->scenePosition());
    return box;
}

void DraggableGraph::removeSceneItem(DraggableGraphEdge* edge)
{
    if (edge && edge->scene())
        graphScene->removeItem(edge);
}

void DraggableGraph::removeSceneItem(DraggableGraphAxes* axes)
{
    if (!axes || !axes->scene())
        return;
    scaleSet = false;
    graphScene->removeItem(axes);
}

void DraggableGraph::removeSceneItem(DraggableGraphNode* node)
{
    if (node && node->scene())
        graphScene->removeItem(node);
}

int DraggableGraph::getDomain() const
{
    return scaleSet ? domain : -1;
}

int DraggableGraph::getRange() const
{
    return scaleSet ? range : -1;
}

QFont DraggableGraph::titleFont() const
{
    // The view's own font, bold, as large as 14 points are at 96 dpi.
    QFont bold = font();
    bold.setWeight(75);
    bold.setPointSizeF(14 / SceneText::factor(viewport()));
    return bold;
}

QRectF DraggableGraph::titleRect() const
{
    const QRectF r = sceneRect();
    return QRectF(r.x() + 4, r.y() + 4, r.width() - 4, r.height() - 4);
}

QList<QRectF> DraggableGraph::sceneTexts() const
{
    QList<QRectF> texts = SceneText::sceneTexts(this);
    if (!title.isEmpty())
        texts.prepend(
            SceneText::inkIn(titleFont(), viewport(), titleRect(), Qt::TextWordWrap, title));
    return texts;
}

void DraggableGraph::drawBackground(QPainter* painter, const QRectF&)
{
    const QRectF textRect = titleRect();
    painter->setFont(titleFont());
    painter->setPen(Qt::lightGray);
    painter->drawText(textRect.translated(2, 2), title, QTextOption());
    painter->setPen(Qt::black);
    painter->drawText(textRect, title, QTextOption());
}
