#!/bin/sh
echo "Hello from the sample application"
