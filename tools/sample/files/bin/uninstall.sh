#!/bin/sh
echo "The sample application would be removed here"
