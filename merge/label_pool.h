#pragma once

#include "merge/batch_message.h"
#include "render/picture_cache.h"

#include <QByteArray>
#include <QString>
#include <QList>

#include <functional>
#include <memory>

class TLabelRenderer;

// What a worker made of one label: the encoded picture (or whatever the
// caller's work produces) and what it has to say about it.
struct TLabelResult
{
    QByteArray Bytes;
    QList<TBatchMessage> Warnings;
    TBatchMessage Error;  // none: the label was made

    bool Ok() const { return Error.IsNone(); }
};

// Renders labels on a pool of worker threads, one renderer each, all sharing
// one picture cache, and hands the results back in order.
//
// Written here rather than with QtConcurrent::mapped: that keeps every result
// until the whole batch is done and knows no per-thread renderer, while a
// merge of a thousand labels must hold only the few results that wait for an
// earlier one, and each worker keeps its fonts and raster from label to label.
class TLabelPool
{
public:
    // Makes the result of label aIndex with the worker's renderer; runs on a
    // worker thread, so it must touch nothing shared but the picture cache.
    using TWork = std::function<TLabelResult(int aIndex, TLabelRenderer& aRenderer)>;
    // Takes the result of label aIndex on the thread that called Run(), in
    // the order of the labels; false stops the run (cancelled).
    using TDeliver = std::function<bool(int aIndex, const TLabelResult& aResult)>;

    // aJobs workers, or as many as the machine has cores when aJobs < 1, each
    // with a renderer sized to the label size item aSizeItem.
    TLabelPool(int aJobs, int aSizeItem, std::shared_ptr<TPictureCache> aPictures = {});
    ~TLabelPool();

    TLabelPool(const TLabelPool&) = delete;
    TLabelPool& operator=(const TLabelPool&) = delete;

    int Jobs() const { return FJobs; }
    TPictureCache& Pictures() { return *FPictures; }

    // Runs aWork for the labels 0 to aCount - 1 and delivers their results in
    // order. The workers run at most a few labels ahead of delivery, so memory
    // stays flat however long the batch. Returns false when a delivery
    // stopped the run; the labels not yet delivered are then dropped.
    bool Run(int aCount, const TWork& aWork, const TDeliver& aDeliver);

    // The number of workers for aJobs: aJobs itself up to MaxWorkers(), or
    // the machine's cores.
    static int WorkerCount(int aJobs);
    // Twice the cores: each worker holds a label's raster and its pictures,
    // and more workers than that only take memory (hundreds of megabytes
    // each at 14 cm) without finishing sooner.
    static int MaxWorkers();

private:
    struct TState;

    int FJobs = 1;
    int FSizeItem = 1;
    std::shared_ptr<TPictureCache> FPictures;
};
