// SPDX-License-Identifier: GPL-2.0
/*
 * lurva - a misc character device that answers the byte written to it.
 *
 * Every open file is its own exchange: it remembers the last byte written
 * on it and serves a short text reply from the file position on.  Before
 * any write the reply is "Hello from lurva"; after a write whose last byte
 * is N it is "<greeting> N", N in decimal.  No NUL is sent, and a read at
 * the end of the reply returns 0, so cat(1) stops after one reply.
 *
 * Left out on purpose: poll and nonblocking I/O, since a read never waits
 * for anything, and splice/sendfile, which fail with EINVAL without
 * .splice_read.
 */

#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/miscdevice.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/slab.h>
#include <linux/types.h>
#include <linux/uaccess.h>

/*
 * Upper bound on one reply, NUL included.  The default replies need fewer
 * than 20 bytes; a longer greeting is cut, never the number after it, so
 * the buffer can stay small and on the stack.
 */
#define LURVA_REPLY_MAX 128
/* Room left for the greeting after " 255" and the NUL. */
#define LURVA_GREETING_MAX (LURVA_REPLY_MAX - 5)

static const char lurva_hello[] = "Hello from lurva";

/*
 * Read-only once loaded (0444): a writable charp could be freed by a sysfs
 * store while a read is formatting it.  Stores run under
 * kernel_param_lock(THIS_MODULE), so a writable parameter needs every
 * reader to take that lock too, around each use of the pointer.
 */
static char *greeting = "Hello, you sent";
module_param(greeting, charp, 0444);
MODULE_PARM_DESC(greeting,
		 "Words before the byte's value in the reply (at most 123 bytes are kept)");

struct lurva_file {
	/*
	 * Guards written and last as a pair for threads sharing the file; the
	 * file position is the VFS's, passed in as *ppos.
	 */
	struct mutex lock;
	bool written;		/* a byte has been written on this file */
	u8 last;		/* last byte written */
};

/* Formats this file's reply into @buf and returns its length, NUL excluded. */
static size_t lurva_reply(struct lurva_file *lf, char *buf, size_t size)
{
	if (!lf->written)
		return scnprintf(buf, size, "%s", lurva_hello);
	return scnprintf(buf, size, "%.*s %u", LURVA_GREETING_MAX, greeting,
			 lf->last);
}

static int lurva_open(struct inode *inode, struct file *file)
{
	struct lurva_file *lf;

	/* Any user can open the node: charge the opener's memory cgroup. */
	lf = kzalloc(sizeof(*lf), GFP_KERNEL_ACCOUNT);
	if (!lf)
		return -ENOMEM;
	mutex_init(&lf->lock);
	/*
	 * misc_open() left the miscdevice here; nothing below needs it.  A
	 * driver with several devices embeds the miscdevice in its per-device
	 * struct and finds that with container_of(file->private_data, ...).
	 */
	file->private_data = lf;
	return 0;
}

static int lurva_release(struct inode *inode, struct file *file)
{
	struct lurva_file *lf = file->private_data;

	mutex_destroy(&lf->lock);
	kfree(lf);
	return 0;
}

static ssize_t lurva_read(struct file *file, char __user *ubuf, size_t count,
			  loff_t *ppos)
{
	struct lurva_file *lf = file->private_data;
	char reply[LURVA_REPLY_MAX];
	size_t len;

	/*
	 * Plain mutex_lock, not _interruptible or _killable: the lock is held
	 * only to copy two fields or format a short reply, never across a wait
	 * for user space or hardware, so waiting for it is brief and an -EINTR
	 * path would add nothing.
	 */
	mutex_lock(&lf->lock);
	len = lurva_reply(lf, reply, sizeof(reply));
	mutex_unlock(&lf->lock);

	/*
	 * Copying to user space may fault and sleep while the page is read in.
	 * A mutex holder may sleep, so this copy would be allowed under
	 * lf->lock; under a spinlock it would not (sleeping in atomic context).
	 * It is done after the unlock all the same, so a slow fault on one
	 * thread's buffer does not hold up the others sharing the file.
	 *
	 * Honours count and *ppos, 0 at the end, -EFAULT if nothing copied.
	 */
	return simple_read_from_buffer(ubuf, count, ppos, reply, len);
}

static ssize_t lurva_write(struct file *file, const char __user *ubuf,
			   size_t count, loff_t *ppos)
{
	struct lurva_file *lf = file->private_data;
	u8 byte;

	if (!count)
		return 0;

	/* Only the last byte matters, so only it is fetched. */
	if (get_user(byte, ubuf + count - 1))
		return -EFAULT;

	mutex_lock(&lf->lock);
	lf->last = byte;
	lf->written = true;
	mutex_unlock(&lf->lock);

	/* A new reply is read from its start. */
	*ppos = 0;
	return count;
}

/*
 * Reads honour the file position, so lseek(fd, 0, SEEK_SET) reads the reply
 * again; SEEK_END, SEEK_DATA and SEEK_HOLE would need a size the node does
 * not have, so no_seek_end_llseek refuses them with -EINVAL.
 *
 * .owner pins the module while a file is open: rmmod is refused until the
 * last one is closed, so these functions cannot be unloaded under a caller.
 */
static const struct file_operations lurva_fops = {
	.owner		= THIS_MODULE,
	.open		= lurva_open,
	.release	= lurva_release,
	.read		= lurva_read,
	.write		= lurva_write,
	.llseek		= no_seek_end_llseek,
};

/*
 * 0666 so an unprivileged client can open the node devtmpfs creates.  Safe
 * here only: each open file has its own state and there is no hardware or
 * shared state behind the node.  A real driver leaves the mode to udev
 * rules and a group.
 */
static struct miscdevice lurva_misc = {
	.minor	= MISC_DYNAMIC_MINOR,
	.name	= "lurva",
	.fops	= &lurva_fops,
	.mode	= 0666,
};

/* module_init and module_exit that call misc_register/misc_deregister. */
module_misc_device(lurva_misc);

MODULE_LICENSE("GPL");
MODULE_AUTHOR("Tervane");
MODULE_DESCRIPTION("Misc device /dev/lurva that greets the last byte written to it");
